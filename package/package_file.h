// PackageFile: a package file opened for reading, closed when the object
// goes. Reads are positioned (pread), so one open file may serve several
// readers and a read never depends on an earlier seek.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace flashery {

class PackageFile {
 public:
  // Opens an existing regular file, never waiting on a pipe or a device
  // (OpenRegularFile). nullopt when it cannot be opened or is not a regular
  // file; *errorCode then receives errno or a code of platform/files.h
  // (DescribeReadError words it).
  static std::optional<PackageFile> Open(const std::string& path, int* errorCode = nullptr);

  PackageFile(PackageFile&& other) noexcept;
  PackageFile& operator=(PackageFile&& other) noexcept;
  PackageFile(const PackageFile&) = delete;
  PackageFile& operator=(const PackageFile&) = delete;
  ~PackageFile();

  int fd() const { return fd_; }
  // Size when the file was opened.
  uint64_t size() const { return size_; }
  // Reads exactly n bytes at offset; false on an error or when the file ends
  // first.
  bool ReadAt(uint64_t offset, void* buffer, size_t n) const;
  // Whether offset + n lies within the file (no overflow).
  bool Holds(uint64_t offset, uint64_t n) const { return offset <= size_ && n <= size_ - offset; }

 private:
  PackageFile(int fd, uint64_t size) : fd_(fd), size_(size) {}
  int fd_ = -1;
  uint64_t size_ = 0;
};

}  // namespace flashery
