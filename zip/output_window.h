// Where decoded bytes go: the 32 KiB window that is both the decoder's
// history for back-references and its output buffer. Whenever the window
// fills it is flushed to an OutputSink; Finish flushes the rest.
//
// The window counts every byte produced for the current entry and refuses
// to produce more than `limit` bytes (the size the archive declares), so a
// hostile stream can neither fill the disk nor run forever.
#pragma once

#include <cstddef>
#include <cstdint>
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
  static constexpr uint32_t kSize = 32768;
  static constexpr uint64_t kUnlimited = ~0ull;

  explicit OutputWindow(OutputSink& sink, uint64_t limit = kUnlimited) : sink_(sink), limit_(limit) {}
  OutputWindow(const OutputWindow&) = delete;
  OutputWindow& operator=(const OutputWindow&) = delete;

  // Starts a new entry: nothing produced, position 0 (old window contents
  // are never reachable again, see produced()).
  void Reset(uint64_t limit);

  // Room for n more bytes under the limit?
  bool HasRoom(uint64_t n) const { return n <= limit_ - produced_; }

  void Put(uint8_t b) {
    window_[pos_++] = b;
    ++produced_;
    if (pos_ == kSize) Flush();
  }
  // Copies n bytes (the caller checked HasRoom).
  void PutBytes(const uint8_t* data, size_t n);
  // Copies `length` bytes from `distance` back (1 <= distance <= produced();
  // the caller checked both that and HasRoom); overlapping copies repeat.
  void CopyBack(uint32_t distance, uint32_t length);

  // Writes what is buffered; false once a write has failed.
  bool Finish();

  uint64_t produced() const { return produced_; }
  bool writeFailed() const { return writeFailed_; }

 private:
  void Flush();

  OutputSink& sink_;
  uint64_t limit_;
  uint64_t produced_ = 0;
  uint32_t pos_ = 0;
  bool writeFailed_ = false;
  uint8_t window_[kSize];
};

}  // namespace flashery
