// The zip reader: an archive that lies somewhere inside an open file (an
// Extend section of a package), read in place without copying it out.
//
// Attach names the file and the archive's byte range (start, size) and the
// absolute offset of its central directory; nothing outside that range is
// ever read. ReadDirectory lists the entries: every central directory
// record (see central_directory.h), then a folder entry for every folder
// that is only implied by paths, deepest first, after all stored entries.
// ExtractEntry writes one file entry, decoding stored or deflated data,
// decrypting traditional PKWARE encryption with the reader's password, and
// accepts it only when its CRC-32 and its length are those the directory
// gives.
//
// Results follow the station's conventions: 1 good; 0 when the source
// cannot be read or the password is wrong; -1 for every other failure.
// Each failure leaves a fixed text in diagnostic().
//
// Where the data begin is taken from the entry's local header (its own
// name and extra field lengths): archivers commonly store a different
// extra field there than in the central directory.
//
// The directory is read as every other reader reads it, and refused whole
// (refusal() says why, refusedName() names the entry) when it cannot be:
// its records must follow one another from the directory's offset with
// nothing between them; names that would leave the folder an archive is
// unpacked into or hold control characters, symbolic link entries, local
// headers that disagree with their records or entries that share bytes
// (local_headers.h), paths named twice (name_clash.h), directories of more
// records than a zip can count (65,535) and directories that imply more
// folders than that again are refused.
//
// ExtractEntry opens only a regular file (never a link, a pipe or a
// device) and writes at most the entry's declared size; with a write
// budget (SetWriteBudget) all files together stay within it as well. An
// output file whose entry failed is removed, and its bytes given back to
// the budget, so no damaged file is ever left looking like a good one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "zip/zip_entry.h"

namespace flashery {

class OutputSink;

namespace zip_text {
inline constexpr const char* kBadHandle = "句柄错误";
inline constexpr const char* kBadPassword = "密码不正确或解密错误";
inline constexpr const char* kCrcMismatch = "文件循环校验错误";
inline constexpr const char* kLengthMismatch = "文件长度错误";
inline constexpr const char* kUnsupportedMethod = "压缩算法不支持";
}  // namespace zip_text

inline constexpr size_t kMaxPasswordBytes = 128;
inline constexpr size_t kMaxDirectoryRecords = 65535;
// Stored entries plus implied folders.
inline constexpr size_t kMaxDirectoryEntries = 2 * kMaxDirectoryRecords;

// Why ReadDirectory refused a directory.
enum class DirectoryRefusal {
  None,
  Unreadable,       // a read error
  Layout,           // not a run of records, too many records or folders
  BadName,          // a name that leaves the folder or holds control characters
  SymbolicLink,
  LocalHeader,      // a local header missing or disagreeing with its record
  SharedBytes,      // entries overlapping one another or the directory
  NameClash,        // a path named twice
};

class ZipReader {
 public:
  ZipReader() = default;
  ZipReader(const ZipReader&) = delete;
  ZipReader& operator=(const ZipReader&) = delete;

  // Keeps at most 128 bytes of the password.
  void SetPassword(std::string_view password);

  // fd stays the caller's. -1 for a negative descriptor or a directory
  // offset outside the range.
  int Attach(int fd, uint64_t archiveStart, uint64_t archiveSize, uint64_t centralDirOffset);

  // Number of entries (stored plus implied folders) or -1 (nothing
  // attached, a read error, a refused name or record).
  int ReadDirectory(std::vector<ZipEntry>& entries);

  // Writes the file entry to outputPath: a new file, or an existing regular
  // file of its own, emptied first (never a symbolic link, a pipe, a device
  // or a file that has other names, which may lie outside the folder). The
  // file is removed again when the entry fails.
  int ExtractEntry(const ZipEntry& entry, const std::string& outputPath);
  // The same into any sink (memory, a discarding sink).
  int ExtractEntryTo(const ZipEntry& entry, OutputSink& sink);

  // Bytes ExtractEntry may still write in all (unlimited unless set).
  void SetWriteBudget(uint64_t bytes) { budget_ = bytes; }
  uint64_t writeBudget() const { return budget_; }

  const std::string& diagnostic() const { return diagnostic_; }
  DirectoryRefusal refusal() const { return refusal_; }
  // The refused entry's name in UTF-8, control characters written as
  // \xNN; empty when no entry is to blame.
  const std::string& refusedName() const { return refusedName_; }
  void SetLegacyCodepage(Codepage cp) { legacy_ = cp; }

 private:
  int Fail(int result, std::string text);
  int Refuse(DirectoryRefusal why, std::string name, std::string text);

  int fd_ = -1;
  uint64_t archiveStart_ = 0, archiveSize_ = 0, centralDirOffset_ = 0;
  std::string password_;
  std::string diagnostic_;
  DirectoryRefusal refusal_ = DirectoryRefusal::None;
  std::string refusedName_;
  uint64_t budget_ = ~0ull;
  Codepage legacy_ = Codepage::Gbk;
};

}  // namespace flashery
