#include "zip/range_reader.h"

#include <cerrno>
#include <unistd.h>

#include <algorithm>

namespace flashery {

const uint8_t* RangeReader::Get(uint64_t pos, size_t n) {
  if (!Holds(pos, n)) return nullptr;
  if (pos >= bufferPos_ && n <= buffer_.size() && pos - bufferPos_ <= buffer_.size() - n)
    return buffer_.data() + (pos - bufferPos_);
  // Read a chunk starting at pos (or n bytes when a record is longer).
  size_t want = static_cast<size_t>(std::min<uint64_t>(std::max(n, kChunkBytes), end_ - pos));
  buffer_.resize(want);
  size_t done = 0;
  while (done < want) {
    ssize_t r = ::pread(fd_, buffer_.data() + done, want - done, static_cast<off_t>(pos + done));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) readFailed_ = true;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  buffer_.resize(done);
  bufferPos_ = pos;
  if (done < n) return nullptr;
  return buffer_.data();
}

}  // namespace flashery
