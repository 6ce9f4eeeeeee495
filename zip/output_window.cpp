#include "zip/output_window.h"

#include <algorithm>
#include <cstring>

namespace flashery {

namespace {

inline void Copy8(uint8_t* dst, const uint8_t* src) {
  uint64_t v;
  std::memcpy(&v, src, 8);
  std::memcpy(dst, &v, 8);
}

inline void Copy16(uint8_t* dst, const uint8_t* src) {
  uint64_t a, b;
  std::memcpy(&a, src, 8);
  std::memcpy(&b, src + 8, 8);
  std::memcpy(dst, &a, 8);
  std::memcpy(dst + 8, &b, 8);
}

}  // namespace

void OutputWindow::CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length) {
  uint8_t* const end = dst + length;
  const uint8_t* src = dst - distance;
  if (distance >= 16) {
    // Each piece reads only bytes before the one it writes.
    do {
      Copy16(dst, src);
      dst += 16;
      src += 16;
    } while (dst < end);
  } else if (distance >= 8) {
    do {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    } while (dst < end);
  } else if (distance == 1) {
    std::memset(dst, *src, length);
  } else {
    // Repeat the pattern byte by byte until a whole multiple of it, at
    // least 8 bytes long, lies behind the write position; from there on
    // the same bytes repeat at that wider distance in 8-byte pieces.
    const uint32_t wide = distance * ((8 + distance - 1) / distance);
    uint8_t* const bytewiseEnd = dst + std::min(length, wide - distance);
    while (dst < bytewiseEnd) *dst++ = *src++;
    src = dst - wide;
    while (dst < end) {
      Copy8(dst, src);
      dst += 8;
      src += 8;
    }
  }
}

void OutputWindow::Reset(uint64_t limit) {
  limit_ = limit;
  produced_ = 0;
  pos_ = 0;
  flushed_ = 0;
  writeFailed_ = false;
}

void OutputWindow::Flush() {
  if (pos_ > flushed_ && !writeFailed_ && !sink_.Write(buffer_.get() + flushed_, pos_ - flushed_))
    writeFailed_ = true;
  flushed_ = pos_;
}

void OutputWindow::Slide() {
  Flush();
  std::memmove(buffer_.get(), buffer_.get() + pos_ - kSize, kSize);
  pos_ = kSize;
  flushed_ = kSize;
}

void OutputWindow::PutBytes(const uint8_t* data, size_t n) {
  while (n) {
    size_t k = std::min<size_t>(n, kFlushAt - pos_);
    std::memcpy(buffer_.get() + pos_, data, k);
    pos_ += static_cast<uint32_t>(k);
    produced_ += k;
    data += k;
    n -= k;
    if (pos_ >= kFlushAt) Slide();
  }
}

bool OutputWindow::Finish() {
  Flush();
  return !writeFailed_;
}

}  // namespace flashery
