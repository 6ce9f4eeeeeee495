// Positioned, buffered reads inside one byte range of an open file: the
// part of a package file that holds an archive. Every read is checked
// against the range, so records found in an archive can never make the
// reader look at bytes before or after it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flashery {

class RangeReader {
 public:
  static constexpr size_t kChunkBytes = 32768;

  // The range [begin, end) of the file `fd` (absolute offsets).
  RangeReader(int fd, uint64_t begin, uint64_t end) : fd_(fd), begin_(begin), end_(end) {}

  // n bytes at absolute offset pos, valid until the next call; nullptr
  // when they do not lie inside the range or cannot be read (readFailed()
  // then tells a read error from a file that ends early).
  const uint8_t* Get(uint64_t pos, size_t n);

  // Whether [pos, pos + n) lies inside the range.
  bool Holds(uint64_t pos, uint64_t n) const { return pos >= begin_ && pos <= end_ && n <= end_ - pos; }

  uint64_t begin() const { return begin_; }
  uint64_t end() const { return end_; }
  bool readFailed() const { return readFailed_; }

 private:
  int fd_;
  uint64_t begin_, end_;
  std::vector<uint8_t> buffer_;
  uint64_t bufferPos_ = 0;
  bool readFailed_ = false;
};

}  // namespace flashery
