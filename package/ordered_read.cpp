#include "package/ordered_read.h"

#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/files.h"

namespace flashery {
namespace {

// The ring shared by the reader thread and the consumer.
class PieceRing {
 public:
  explicit PieceRing(uint64_t size) : size_(size), storage_(new uint8_t[kOrderedReadPieces * kOrderedReadPieceBytes]) {}

  uint8_t* Buffer(uint64_t piece) { return storage_.get() + (piece % kOrderedReadPieces) * kOrderedReadPieceBytes; }
  size_t LengthOf(uint64_t piece) const {
    uint64_t left = size_ - piece * kOrderedReadPieceBytes;
    return left < kOrderedReadPieceBytes ? static_cast<size_t>(left) : kOrderedReadPieceBytes;
  }
  uint64_t pieces() const { return (size_ + kOrderedReadPieceBytes - 1) / kOrderedReadPieceBytes; }

  // Reader: waits for a free buffer; false when the consumer gave up.
  bool WaitForRoom(uint64_t piece) {
    std::unique_lock lock(mutex_);
    readerWaits_ = true;
    changed_.wait(lock, [&] { return quit_ || piece < consumed_ + kOrderedReadPieces; });
    readerWaits_ = false;
    return !quit_;
  }
  // Reader: piece `piece` is filled (ok) or could not be (stops the ring).
  // The consumer is woken only once what it waits for is there.
  void Filled(uint64_t piece, bool ok) {
    bool wake;
    {
      std::lock_guard lock(mutex_);
      if (ok) {
        filled_ = piece + 1;
      } else {
        failed_ = true;
      }
      wake = consumerWants_ != 0 && (filled_ >= consumerWants_ || failed_);
    }
    if (wake) changed_.notify_all();
  }
  // Consumer: waits until `piece` is filled; false when it never will be.
  // Having caught up with the reader, it sleeps until half the ring is
  // filled again (or the file is read), so that it is woken once for
  // several pieces, not for every one.
  bool WaitForPiece(uint64_t piece) {
    std::unique_lock lock(mutex_);
    if (piece < filled_) return true;
    const uint64_t batch = piece + kOrderedReadPieces / 2;
    consumerWants_ = batch < pieces() ? batch : pieces();
    changed_.wait(lock, [&] { return filled_ >= consumerWants_ || failed_; });
    consumerWants_ = 0;
    return piece < filled_;
  }
  void Consumed(uint64_t piece) {
    bool wake;
    {
      std::lock_guard lock(mutex_);
      consumed_ = piece + 1;
      wake = readerWaits_;
    }
    if (wake) changed_.notify_all();
  }
  void Quit() {
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
  }

 private:
  const uint64_t size_;
  std::unique_ptr<uint8_t[]> storage_;
  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t filled_ = 0;    // pieces [0, filled_) are ready
  uint64_t consumed_ = 0;  // pieces [0, consumed_) are done with
  uint64_t consumerWants_ = 0;  // the consumer sleeps until this many are filled
  bool readerWaits_ = false;
  bool failed_ = false;
  bool quit_ = false;
};


}  // namespace

OrderedReadResult ReadInOrder(int fd, uint64_t size, const OrderedReadConsumer& consume,
                              const std::stop_token& stop) {
  OrderedReadResult result;
  if (size == 0) return result;
  if (fd < 0) {
    result.failed = true;
    return result;
  }
  PieceRing ring(size);
  std::jthread reader([&ring, fd] {
    for (uint64_t piece = 0; piece < ring.pieces(); ++piece) {
      if (!ring.WaitForRoom(piece)) return;
      bool ok = ReadExactAt(fd, ring.Buffer(piece), ring.LengthOf(piece), piece * kOrderedReadPieceBytes);
      ring.Filled(piece, ok);
      if (!ok) return;
    }
  });
  for (uint64_t piece = 0; piece < ring.pieces(); ++piece) {
    if (stop.stop_requested()) {
      result.stopped = true;
      break;
    }
    if (!ring.WaitForPiece(piece)) {
      result.failed = true;
      break;
    }
    const size_t length = ring.LengthOf(piece);
    consume(ring.Buffer(piece), length, piece * kOrderedReadPieceBytes);
    result.bytes += length;
    ring.Consumed(piece);
  }
  ring.Quit();
  return result;
}

}  // namespace flashery
