// Where decoded bytes go: the buffer that is both the decoder's history for
// back-references and its output buffer. Output is written straight on in
// one line of memory; when kFlushAt bytes are in it, what is new goes to the
// OutputSink and the last 32 KiB (all a back-reference can reach) move to the
// front. A back-reference is therefore always one contiguous copy, which is
// made in 8- or 16-byte pieces (short distances by widening the repeating
// pattern first); such a copy may write up to kSlack bytes past its end,
// into room kept free for it, and those bytes are overwritten before they
// are ever output. Finish flushes the rest.
//
// The window counts every byte produced for the current entry and refuses
// to produce more than `limit` bytes (the size the archive declares), so a
// hostile stream can neither fill the disk nor run forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace flashery {

class OutputSink {
 public:
  virtual ~OutputSink() = default;
  // False when the bytes could not all be written.
  virtual bool Write(const uint8_t* data, size_t n) = 0;
};

// Keeps everything in memory (tests, the fuzzers, the benchmark).
class VectorSink final : public OutputSink {
 public:
  bool Write(const uint8_t* data, size_t n) override {
    bytes.insert(bytes.end(), data, data + n);
    return true;
  }
  std::vector<uint8_t> bytes;
};

// Counts and drops the bytes.
class DiscardSink final : public OutputSink {
 public:
  bool Write(const uint8_t*, size_t n) override {
    total += n;
    return true;
  }
  uint64_t total = 0;
};

class OutputWindow {
 public:
  static constexpr uint32_t kSize = 32768;  // the history a back-reference reaches
  static constexpr uint32_t kFlushAt = kSize + 262144;
  static constexpr uint32_t kMaxMatch = 258;
  static constexpr uint32_t kSlack = 32;
  static constexpr uint64_t kUnlimited = ~0ull;

  explicit OutputWindow(OutputSink& sink, uint64_t limit = kUnlimited)
      : sink_(sink), limit_(limit), buffer_(new uint8_t[kFlushAt + kMaxMatch + kSlack]) {}
  OutputWindow(const OutputWindow&) = delete;
  OutputWindow& operator=(const OutputWindow&) = delete;

  // Starts a new entry: nothing produced, position 0 (old window contents
  // are never reachable again, see produced()).
  void Reset(uint64_t limit);

  // Room for n more bytes under the limit?
  bool HasRoom(uint64_t n) const { return n <= limit_ - produced_; }

  void Put(uint8_t b) {
    buffer_[pos_++] = b;
    ++produced_;
    if (pos_ >= kFlushAt) Slide();
  }
  // Copies n bytes (the caller checked HasRoom).
  void PutBytes(const uint8_t* data, size_t n);
  // Copies `length` bytes from `distance` back (1 <= distance <=
  // min(produced(), kSize), 1 <= length <= kMaxMatch; the caller checked
  // these and HasRoom); overlapping copies repeat.
  void CopyBack(uint32_t distance, uint32_t length) {
    CopyMatch(buffer_.get() + pos_, distance, length);
    pos_ += length;
    produced_ += length;
    if (pos_ >= kFlushAt) Slide();
  }

  // Writes what is buffered; false once a write has failed.
  bool Finish();

  uint64_t produced() const { return produced_; }
  bool writeFailed() const { return writeFailed_; }

 private:
  static void CopyMatch(uint8_t* dst, uint32_t distance, uint32_t length);
  // Hands the new bytes to the sink.
  void Flush();
  // Flushes and moves the last kSize bytes to the front.
  void Slide();

  OutputSink& sink_;
  uint64_t limit_;
  uint64_t produced_ = 0;
  uint32_t pos_ = 0;      // where the next byte goes
  uint32_t flushed_ = 0;  // bytes before this went to the sink
  bool writeFailed_ = false;
  std::unique_ptr<uint8_t[]> buffer_;
};

}  // namespace flashery
