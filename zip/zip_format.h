// Record layouts of the zip format as the reader uses them (PKWARE
// application note; every field little-endian). Offsets are from the
// start of each record.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashery::zipfmt {

inline constexpr uint32_t kLocalHeaderSignature = 0x04034B50;
inline constexpr uint32_t kCentralRecordSignature = 0x02014B50;
inline constexpr uint32_t kEndRecordSignature = 0x06054B50;
inline constexpr uint32_t kZip64EndRecordSignature = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSignature = 0x07064B50;
inline constexpr uint32_t kDigitalSignatureSignature = 0x05054B50;

// Local file header: 30 fixed bytes, then name and extra field.
inline constexpr size_t kLocalHeaderBytes = 30;
inline constexpr size_t kLocalFlags = 6;
inline constexpr size_t kLocalMethod = 8;
inline constexpr size_t kLocalTime = 10;
inline constexpr size_t kLocalCrc32 = 14;
inline constexpr size_t kLocalCompressedSize = 18;
inline constexpr size_t kLocalUncompressedSize = 22;
inline constexpr size_t kLocalNameLength = 26;
inline constexpr size_t kLocalExtraLength = 28;

// Central directory record: 46 fixed bytes, then name, extra, comment.
inline constexpr size_t kCentralRecordBytes = 46;
inline constexpr size_t kCentralVersionMadeBy = 4;
inline constexpr size_t kCentralVersionNeeded = 6;
inline constexpr size_t kCentralFlags = 8;
inline constexpr size_t kCentralMethod = 10;
inline constexpr size_t kCentralTime = 12;
inline constexpr size_t kCentralDate = 14;
inline constexpr size_t kCentralCrc32 = 16;
inline constexpr size_t kCentralCompressedSize = 20;
inline constexpr size_t kCentralUncompressedSize = 24;
inline constexpr size_t kCentralNameLength = 28;
inline constexpr size_t kCentralExtraLength = 30;
inline constexpr size_t kCentralCommentLength = 32;
inline constexpr size_t kCentralExternalAttributes = 38;
inline constexpr size_t kCentralLocalHeaderOffset = 42;

// End of central directory record: 22 fixed bytes, then the comment.
inline constexpr size_t kEndRecordBytes = 22;
inline constexpr size_t kEndDiskNumber = 4;
inline constexpr size_t kEndDirectoryDisk = 6;
inline constexpr size_t kEndDiskRecords = 8;
inline constexpr size_t kEndTotalRecords = 10;
inline constexpr size_t kEndCentralDirSize = 12;
inline constexpr size_t kEndCentralDirOffset = 16;
inline constexpr size_t kEndCommentLength = 20;

// General-purpose flags.
inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDataDescriptor = 0x0008;
inline constexpr uint16_t kFlagStrongEncryption = 0x0040;
inline constexpr uint16_t kFlagUtf8Name = 0x0800;
// The flags that change how an entry is read (its name, its data, where
// its sizes are): a local header and its central record must agree on them.
inline constexpr uint16_t kFlagsThatMustAgree = kFlagEncrypted | kFlagDataDescriptor | kFlagStrongEncryption |
                                                kFlagUtf8Name;

inline constexpr uint8_t kMethodStored = 0;
inline constexpr uint8_t kMethodDeflated = 8;

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

}  // namespace flashery::zipfmt
