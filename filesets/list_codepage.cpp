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

// The bytes of one character (a well-formed UTF-8 sequence) in `cp`; a
// character `cp` cannot hold counts as one byte, as the original's 8-bit
// functions give it.
size_t CharacterBytes(std::string_view ch, Codepage cp) {
  if (ch.size() == 1 || cp == Codepage::Utf8) return ch.size();
  if (auto e = EncodeFromUtf8(ch, cp)) return e->size();
  return 1;
}

}  // namespace

Codepage DetectListCodepage(std::string_view bytes, Codepage system) {
  return HasUtf8Bom(bytes) ? Codepage::Utf8 : system;
}

std::optional<std::string> DecodeListText(std::string_view bytes, Codepage system) {
  if (HasUtf8Bom(bytes)) return DecodeStrict(bytes.substr(kUtf8Bom.size()), Codepage::Utf8);
  return DecodeStrict(bytes, system);
}

std::optional<std::string> EncodeForList(std::string_view name, Codepage cp) {
  if (!IsValidUtf8(name)) return std::nullopt;
  if (cp == Codepage::Utf8 || IsAscii(name)) return std::string(name);
  return EncodeFromUtf8(name, cp);
}

size_t SystemLength(std::string_view text, Codepage system) {
  if (IsAscii(text)) return text.size();
  if (auto e = EncodeForList(text, system)) return e->size();
  size_t bytes = 0;
  for (size_t i = 0; i < text.size();) {
    size_t len = SequenceLength(text, i);
    if (len == 0) len = 1;  // a stray byte counts as itself
    bytes += CharacterBytes(text.substr(i, len), system);
    i += len;
  }
  return bytes;
}

std::vector<std::string> ReadListRecords(std::string_view bytes, Codepage system, size_t maxBytes) {
  std::vector<std::string> records;
  if (maxBytes < 2) maxBytes = 2;
  std::optional<std::string> decoded = DecodeListText(bytes, system);
  if (!decoded) return {std::string(1, '\0')};
  std::string text = FromTextMode(*decoded);
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
      size_t chBytes = CharacterBytes(ch, system);
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
