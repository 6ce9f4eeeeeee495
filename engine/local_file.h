// LocalFile: a read-only handle on a package or file-set file, closed when
// the object goes. Reads are positioned (pread), so a block refused by the
// handset is read again from its own offset without moving a shared file
// position, and several ports may read the same file at once through
// handles of their own.
//
// Opening never blocks and takes regular files only (OpenRegularFile): a
// FIFO, socket, device node or folder found in a file's place is refused by
// Open, without waiting for a writer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashery {

class LocalFile {
 public:
  LocalFile() = default;
  ~LocalFile();
  LocalFile(const LocalFile&) = delete;
  LocalFile& operator=(const LocalFile&) = delete;

  // False with `error` (errno, or a code of platform/files.h) when the file
  // cannot be opened or is not a regular file.
  bool Open(const std::string& path, int& error);
  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  void Close();
  // The size of a regular file; nullopt for anything else or a failed stat.
  std::optional<uint64_t> RegularSize() const;
  // Reads exactly `length` bytes at `offset`; false on an error or a short
  // read (the file ends first).
  bool ReadAt(uint8_t* buffer, uint32_t length, uint64_t offset) const;

 private:
  int fd_ = -1;
};

}  // namespace flashery
