// Where the compressed bytes of an entry come from.
//
// A ByteFeed hands out the next raw bytes of a bounded range: a memory
// buffer, or a byte range of an open file (an archive embedded in a package
// at an offset). It ends where its range ends, so a decoder can never read
// into the data that follows an entry, and an entry that is cut short is
// seen as cut short instead of being fed stale bytes again.
//
// ByteSource is the 32 KiB input buffer on top of a feed. It decrypts bytes
// as they enter the buffer when a cipher is given, and it keeps the last
// few consumed bytes across a refill so that a decoder can give back the
// whole bytes it read ahead (Unread) at the end of a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace flashery {

class PkwareCipher;

class ByteFeed {
 public:
  virtual ~ByteFeed() = default;
  // Copies up to `capacity` next bytes into buf; 0 at the end of the range
  // or when the source cannot be read (then failed() is true).
  virtual size_t Fill(uint8_t* buf, size_t capacity) = 0;
  virtual bool failed() const { return false; }
};

class MemoryFeed final : public ByteFeed {
 public:
  MemoryFeed(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t Fill(uint8_t* buf, size_t capacity) override;

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Bytes [begin, end) of an open file, read with pread (the descriptor's
// file position is neither used nor moved).
class FileRangeFeed final : public ByteFeed {
 public:
  FileRangeFeed(int fd, uint64_t begin, uint64_t end) : fd_(fd), pos_(begin), end_(end) {}
  size_t Fill(uint8_t* buf, size_t capacity) override;
  bool failed() const override { return failed_; }

 private:
  int fd_;
  uint64_t pos_, end_;
  bool failed_ = false;
};

class ByteSource {
 public:
  static constexpr size_t kBufferBytes = 32768;
  static constexpr size_t kKeepBytes = 8;  // what Unread can always give back

  explicit ByteSource(ByteFeed& feed, PkwareCipher* cipher = nullptr) : feed_(feed), cipher_(cipher) {}
  ByteSource(const ByteSource&) = delete;
  ByteSource& operator=(const ByteSource&) = delete;

  // Bytes buffered and not yet consumed, and where they are.
  size_t Available() const { return count_ - pos_; }
  const uint8_t* Data() const { return buffer_ + pos_; }
  // Consumes n <= Available() bytes.
  void Skip(size_t n) { pos_ += n; consumed_ += n; }

  // Refills an emptied buffer; false at the end of the feed.
  bool Refill();

  bool Next(uint8_t& byte) {
    if (pos_ == count_ && !Refill()) return false;
    byte = buffer_[pos_++];
    ++consumed_;
    return true;
  }

  // Copies up to n bytes; fewer only at the end of the feed.
  size_t Read(uint8_t* dst, size_t n);

  // Gives back the last n consumed bytes (n <= kKeepBytes is always
  // possible); returns how many were given back.
  size_t Unread(size_t n);

  uint64_t consumed() const { return consumed_; }
  bool feedFailed() const { return feed_.failed(); }

 private:
  ByteFeed& feed_;
  PkwareCipher* cipher_;
  uint8_t buffer_[kKeepBytes + kBufferBytes];
  size_t pos_ = 0, count_ = 0;
  uint64_t consumed_ = 0;
};

}  // namespace flashery
