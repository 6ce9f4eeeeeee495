#include "zip/entry_name.h"

namespace flashery {
namespace {

bool Refuse(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

bool IsDriveLetter(std::string_view c) {
  return c.size() >= 2 && c[1] == ':' && ((c[0] >= 'A' && c[0] <= 'Z') || (c[0] >= 'a' && c[0] <= 'z'));
}

}  // namespace

std::optional<EntryName> ParseEntryName(std::string_view raw, bool utf8Flag, Codepage legacy, std::string* why) {
  if (raw.find('\0') != std::string_view::npos) {
    Refuse(why, "entry name holds a zero byte");
    return std::nullopt;
  }
  for (unsigned char c : raw) {
    if (c < 0x20 || c == 0x7F) {
      Refuse(why, "entry name holds a control character");
      return std::nullopt;
    }
  }
  std::optional<std::string> decoded = DecodeStrict(raw, utf8Flag ? Codepage::Utf8 : legacy);
  if (!decoded) {
    Refuse(why, utf8Flag ? "entry name marked UTF-8 is not valid UTF-8"
                         : "entry name is not valid in the station's code page");
    return std::nullopt;
  }
  if (!CodepageHolds(*decoded, legacy)) {
    Refuse(why, "entry name holds a character the station's code page cannot hold");
    return std::nullopt;
  }
  std::string text = std::move(*decoded);
  if (text.empty()) {
    Refuse(why, "empty entry name");
    return std::nullopt;
  }
  if (text.size() > kMaxEntryNameBytes) {
    Refuse(why, "entry name too long");
    return std::nullopt;
  }
  if (text.front() == '/' || text.front() == '\\') {
    Refuse(why, "absolute entry name");
    return std::nullopt;
  }
  EntryName out;
  out.isDirectory = text.back() == '/' || text.back() == '\\';
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find_first_of("/\\", start);
    if (end == std::string::npos) end = text.size();
    std::string_view c(text.data() + start, end - start);
    start = end + 1;
    if (c.empty() || c == ".") continue;
    if (c == "..") {
      Refuse(why, "entry name leaves its folder (..)");
      return std::nullopt;
    }
    if (out.components.empty() && IsDriveLetter(c)) {
      Refuse(why, "entry name with a drive letter");
      return std::nullopt;
    }
    if (c.size() > kMaxNameComponentBytes) {
      Refuse(why, "entry name component too long");
      return std::nullopt;
    }
    out.components.emplace_back(c);
  }
  if (out.components.empty()) {
    Refuse(why, "entry name names no file");
    return std::nullopt;
  }
  return out;
}

}  // namespace flashery
