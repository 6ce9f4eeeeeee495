#include "zip/output_window.h"

#include <algorithm>
#include <cstring>

namespace flashery {

void OutputWindow::Reset(uint64_t limit) {
  limit_ = limit;
  produced_ = 0;
  pos_ = 0;
  writeFailed_ = false;
}

void OutputWindow::Flush() {
  if (pos_ && !writeFailed_ && !sink_.Write(window_, pos_)) writeFailed_ = true;
  pos_ = 0;
}

void OutputWindow::PutBytes(const uint8_t* data, size_t n) {
  while (n) {
    size_t k = std::min<size_t>(n, kSize - pos_);
    std::memcpy(window_ + pos_, data, k);
    pos_ += static_cast<uint32_t>(k);
    produced_ += k;
    data += k;
    n -= k;
    if (pos_ == kSize) Flush();
  }
}

void OutputWindow::CopyBack(uint32_t distance, uint32_t length) {
  uint32_t from = (pos_ - distance) & (kSize - 1);
  while (length) {
    // A run ends at the end of the window (for source or destination).
    uint32_t run = std::min({length, kSize - pos_, kSize - from});
    if (from >= pos_ || distance >= run) {
      // Source ahead of (or apart from) the destination: a plain move.
      std::memmove(window_ + pos_, window_ + from, run);
    } else {
      // The copy reads bytes it has just written: repeat byte by byte.
      for (uint32_t i = 0; i < run; ++i) window_[pos_ + i] = window_[from + i];
    }
    pos_ += run;
    from = (from + run) & (kSize - 1);
    produced_ += run;
    length -= run;
    if (pos_ == kSize) Flush();
  }
}

bool OutputWindow::Finish() {
  Flush();
  return !writeFailed_;
}

}  // namespace flashery
