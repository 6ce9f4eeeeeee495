// QfmHeader: the 828 raw header bytes of a package, with bounds-checked
// field access for readers and setters for the package writer.
//
// The record keeps the bytes exactly as read, so the header check is
// computed over what the file holds. Field reads outside the 828 bytes give
// 0 / empty instead of reading past the array.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "package/qfm_layout.h"
#include "platform/codepage.h"

namespace flashery {

struct QfmSection;

struct QfmHeader {
  std::array<uint8_t, kQfmHeaderBytes> bytes{};

  bool HasMagic() const;
  uint8_t Byte(size_t at) const;
  uint32_t U32(size_t at) const;
  // The bytes of a text field up to its first zero byte (the whole field
  // when it has none).
  std::string RawText(size_t at, size_t fieldBytes) const;
  // The same text as UTF-8. A header text is in the station's legacy code
  // page, whether or not its bytes also happen to be valid UTF-8, unless
  // the field declares UTF-8 by beginning with a UTF-8 byte order mark
  // (which is dropped). nullopt when the bytes are not valid in that
  // encoding.
  std::optional<std::string> DecodedText(size_t at, size_t fieldBytes, Codepage legacy = Codepage::Gbk) const;
  // DecodedText for display; a text that cannot be decoded shows every byte
  // outside printable ASCII as \xNN (ReadPackageHeader refuses such a
  // header, so an accepted package never shows one).
  std::string Text(size_t at, size_t fieldBytes, Codepage legacy = Codepage::Gbk) const;
  // The name of the first text field that cannot be decoded ("product
  // name", "version name", a section's key name), or nullopt.
  std::optional<std::string> UndecodableText(Codepage legacy) const;

  std::string ProductName(Codepage legacy = Codepage::Gbk) const;
  std::string VersionName(Codepage legacy = Codepage::Gbk) const;
  std::string SystemName(Codepage legacy = Codepage::Gbk) const;
  uint32_t PackageSize() const { return U32(qfm::kPackageSize); }
  uint32_t HeaderCheck() const { return U32(qfm::kHeaderCheck); }
  // Crc16Update from 0 over the first 824 bytes.
  uint32_t ComputeHeaderCheck() const;

  // Writer side. SetText stores already-encoded bytes and zero-fills the
  // rest of the field; false (field unchanged) when they do not fit with
  // their terminating zero or contain a zero byte.
  void SetMagic();
  void SetByte(size_t at, uint8_t value);
  void SetU32(size_t at, uint32_t value);
  bool SetText(size_t at, size_t fieldBytes, std::string_view encoded);
  // Stores ComputeHeaderCheck() as headerCheck.
  void Seal();
};

// The header's fields of one section as they stand (present byte, offset,
// size, check and, where the section has one, its name); fileCode is 0.
QfmSection SectionFromHeader(const QfmHeader& header, QfmSectionKey key, Codepage legacy = Codepage::Gbk);

}  // namespace flashery
