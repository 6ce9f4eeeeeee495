#include "sim/handset_names.h"

#include <cstdio>

#include "sim/vendor_command.h"

namespace flashery::sim {

size_t Utf8SequenceLength(std::string_view s, size_t i) {
  auto at = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = at(i);
  if (b < 0x80) return 1;
  size_t n;
  uint32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    cp = b & 0x07;
  } else {
    return 0;
  }
  if (i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (at(i + k) & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000) || cp > 0x10FFFF ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  return n;
}

std::string Printable(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    unsigned char b = static_cast<unsigned char>(s[i]);
    size_t n = b >= 0x20 && b != 0x7F ? Utf8SequenceLength(s, i) : 0;
    if (n == 0) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

HandsetName ParseHandsetName(std::string_view name) {
  HandsetName out;
  if (name.empty()) {
    out.error = "empty name";
    return out;
  }
  if (name.size() > kMaxNameBytes) {
    out.error = "name longer than 259 bytes";
    return out;
  }
  for (size_t i = 0; i < name.size();) {
    unsigned char b = static_cast<unsigned char>(name[i]);
    size_t n = Utf8SequenceLength(name, i);
    if (b < 0x20 || b == 0x7F) {
      out.error = "control character in name";
      return out;
    }
    if (n == 0) {
      out.error = "name is not valid UTF-8";
      return out;
    }
    i += n;
  }
  if (name.substr(0, 2) != "//") {
    out.error = "name does not start with //";
    return out;
  }
  std::string_view rest = name.substr(2);
  for (;;) {
    size_t sep = rest.find("//");
    std::string_view part = rest.substr(0, sep);
    if (part.empty()) {
      out.error = "empty component in name";
      return out;
    }
    if (part == "." || part == "..") {
      out.error = "component . or .. in name";
      return out;
    }
    if (part.find('/') != std::string_view::npos || part.find('\\') != std::string_view::npos) {
      out.error = "single / or \\ inside a component";
      return out;
    }
    if (part.size() > 255) {
      out.error = "component longer than 255 bytes";
      return out;
    }
    out.components.emplace_back(part);
    if (sep == std::string_view::npos) break;
    rest = rest.substr(sep + 2);
  }
  return out;
}

std::string StorageRelativePath(const HandsetName& name) {
  std::string path;
  for (const auto& c : name.components) {
    if (!path.empty()) path += '/';
    path += c;
  }
  return path;
}

}  // namespace flashery::sim
