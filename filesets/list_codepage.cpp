#include "filesets/list_codepage.h"

#include "platform/textmode.h"

namespace flashery {

namespace {

// Length of the UTF-8 sequence starting at s[i] when it is well formed, else 0.
size_t SequenceLength(std::string_view s, size_t i) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
  if (len == 0 || i + len > s.size()) return 0;
  return IsValidUtf8(s.substr(i, len)) ? len : 0;
}

// Valid UTF-8 with every malformed byte replaced by '?'.
std::string SanitizeUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    size_t len = SequenceLength(s, i);
    if (len == 0) {
      out += '?';
      ++i;
    } else {
      out.append(s.substr(i, len));
      i += len;
    }
  }
  return out;
}

// One character (a well-formed UTF-8 sequence) in `cp`, or "?".
std::string EncodeCharacter(std::string_view ch, Codepage cp) {
  if (ch.size() == 1) return std::string(ch);
  if (auto e = EncodeFromUtf8(ch, cp)) return *e;
  return "?";
}

// Valid UTF-8 text in `cp`, character by character when the whole text
// does not convert.
std::string EncodeValidUtf8(std::string_view s, Codepage cp) {
  if (cp == Codepage::Utf8 || IsAscii(s)) return std::string(s);
  if (auto e = EncodeFromUtf8(s, cp)) return *e;
  std::string out;
  for (size_t i = 0; i < s.size();) {
    size_t len = SequenceLength(s, i);
    out += EncodeCharacter(s.substr(i, len), cp);
    i += len;
  }
  return out;
}

}  // namespace

Codepage DetectListCodepage(std::string_view bytes, Codepage system) {
  if (!IsAscii(bytes) && IsValidUtf8(bytes)) return Codepage::Utf8;
  return system;
}

std::string EncodeForList(std::string_view name, Codepage cp) {
  if (IsValidUtf8(name)) return EncodeValidUtf8(name, cp);
  // Not UTF-8: a name already in the legacy code page (for example one
  // unpacked from an archive made on the original platform) is kept.
  if (cp != Codepage::Utf8 && ConvertCodepage(name, cp, Codepage::Utf8)) return std::string(name);
  return EncodeValidUtf8(SanitizeUtf8(name), cp);
}

size_t SystemLength(std::string_view text, Codepage system) {
  if (IsAscii(text)) return text.size();
  return EncodeForList(text, system).size();
}

std::vector<std::string> ReadListRecords(std::string_view bytes, Codepage system, size_t maxBytes) {
  std::vector<std::string> records;
  if (maxBytes < 2) maxBytes = 2;
  std::string text = FromTextMode(DecodeToUtf8(bytes, system));
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    bool hasFeed = end != std::string::npos;
    if (!hasFeed) end = text.size();
    std::string_view line(text.data() + pos, end - pos);
    pos = hasFeed ? end + 1 : end;
    size_t feed = hasFeed ? 1 : 0;
    if (SystemLength(line, system) + feed <= maxBytes) {
      records.emplace_back(line);
      continue;
    }
    // Longer than one read: cut into records of at most maxBytes bytes.
    std::string piece;
    size_t pieceBytes = 0;
    for (size_t i = 0; i < line.size();) {
      size_t len = SequenceLength(line, i);
      if (len == 0) len = 1;  // cannot happen after decoding; keeps the loop moving
      std::string_view ch = line.substr(i, len);
      size_t chBytes = len == 1 ? 1 : EncodeCharacter(ch, system).size();
      if (pieceBytes + chBytes > maxBytes) {
        records.push_back(std::move(piece));
        piece.clear();
        pieceBytes = 0;
      }
      piece.append(ch);
      pieceBytes += chBytes;
      i += len;
    }
    // The line feed is read with the last piece when it still fits, else
    // on its own as an empty record.
    records.push_back(std::move(piece));
    if (hasFeed && pieceBytes + feed > maxBytes) records.emplace_back();
  }
  return records;
}

}  // namespace flashery
