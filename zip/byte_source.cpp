#include "zip/byte_source.h"

#include <cerrno>
#include <unistd.h>

#include <algorithm>

#include "zip/pkware_cipher.h"

namespace flashery {

size_t MemoryFeed::Fill(uint8_t* buf, size_t capacity) {
  size_t n = std::min(capacity, size_ - pos_);
  if (n) std::memcpy(buf, data_ + pos_, n);
  pos_ += n;
  return n;
}

size_t FileRangeFeed::Fill(uint8_t* buf, size_t capacity) {
  size_t done = 0;
  while (done < capacity && pos_ < end_ && !failed_) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(capacity - done, end_ - pos_));
    ssize_t r = ::pread(fd_, buf + done, want, static_cast<off_t>(pos_));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) failed_ = true;
    if (r <= 0) break;  // error, or the file ends before the range does
    done += static_cast<size_t>(r);
    pos_ += static_cast<uint64_t>(r);
  }
  return done;
}

bool ByteSource::Refill() {
  // Keep the tail of what was consumed so Unread works across a refill.
  size_t keep = std::min(pos_, kKeepBytes);
  std::memmove(buffer_, buffer_ + pos_ - keep, keep);
  size_t unread = count_ - pos_;
  std::memmove(buffer_ + keep, buffer_ + pos_, unread);
  pos_ = keep;
  count_ = keep + unread;
  size_t got = feed_.Fill(buffer_ + count_, sizeof(buffer_) - count_);
  if (cipher_) cipher_->Decrypt(buffer_ + count_, got);
  count_ += got;
  return got > 0;
}

size_t ByteSource::Read(uint8_t* dst, size_t n) {
  size_t done = 0;
  while (done < n) {
    if (pos_ == count_ && !Refill()) break;
    size_t k = std::min(n - done, count_ - pos_);
    std::memcpy(dst + done, buffer_ + pos_, k);
    done += k;
    Skip(k);
  }
  return done;
}

size_t ByteSource::Unread(size_t n) {
  size_t k = std::min(n, pos_);
  pos_ -= k;
  consumed_ -= k;
  return k;
}

}  // namespace flashery
