// Walking the central directory of an archive.
//
// The walk starts at the directory's offset and goes to the end of the
// archive region. At each position it looks for the signature of a central
// directory record: a record is read whole (its 46 fixed bytes and name,
// from the next chunk when it straddles one) and passed over with its
// name, extra field and comment; any other byte is stepped over one at a
// time, as the station has always scanned. The end-of-central-directory
// record (or a Zip64 or signature record) ends the walk, so an archive
// comment is never mistaken for directory records. The same walk serves
// the directory reader and the size scan of staging, so both always see
// the same records.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace flashery {

class RangeReader;

struct CentralRecord {
  uint64_t position = 0;  // absolute offset of the record in the file
  uint16_t versionMadeBy = 0;
  uint8_t versionNeeded = 0;  // low byte
  uint16_t flags = 0;
  uint16_t method = 0;
  uint16_t time = 0, date = 0;
  uint32_t crc32 = 0, compressedSize = 0, uncompressedSize = 0;
  uint32_t externalAttributes = 0;
  uint32_t localHeaderOffset = 0;  // relative to the archive's start
  std::string rawName;             // the name's bytes as stored
  uint32_t recordBytes = 0;        // the whole record: fixed part, name, extra field, comment
  // The name the archive declares as UTF-8 in an Info-ZIP Unicode Path
  // extra field (0x7075, version 1) whose CRC-32 matches rawName - how
  // Info-ZIP on Unix declares a UTF-8 name without setting flags bit 11.
  // Empty when the record has none (or a stale one).
  std::string declaredUtf8Name;
  bool hasDeclaredUtf8Name = false;

  // A symbolic link stored by a Unix archiver.
  bool IsSymbolicLink() const;
  // Whether rawName is declared UTF-8: flags bit 11, or an archive made on
  // a Unix host (version made by), whose archivers store the file system's
  // name bytes - UTF-8 on this platform - without setting the flag. Names of
  // archives made on the original platform (FAT/NTFS hosts) without the
  // flag are in its code page.
  bool NameIsUtf8() const;
};

enum class WalkResult { Done, Stopped, ReadFailed };

// Visits every record from absolute offset `from` to the reader's end;
// `visit` returns false to stop the walk (WalkResult::Stopped).
WalkResult WalkCentralDirectory(RangeReader& reader, uint64_t from,
                                const std::function<bool(const CentralRecord&)>& visit);

}  // namespace flashery
