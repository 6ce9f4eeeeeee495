// ReadInOrder: reads bytes [0, size) of an open file front to back and hands
// every piece, in file order, to a consumer on the calling thread, while a
// second thread already reads the pieces that follow. Reading (a copy out
// of the page cache, or the disk) and the consumer's work (check values)
// thus overlap instead of taking turns.
//
// The reader thread fills a small ring of buffers (kOrderedReadPieces pieces
// of kOrderedReadPieceBytes, small enough to stay in the CPU's cache) with
// pread and waits while all of them are full; the consumer gets each piece
// once, never a piece that failed. Either side is woken only when the other
// has done enough for it (the consumer, having caught up, when half the
// ring is filled again), so hand-overs cost few context switches. The file is not mapped: a file that
// shrinks under the reader gives a short read, never a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>

namespace flashery {

inline constexpr size_t kOrderedReadPieceBytes = 128 * 1024;
inline constexpr size_t kOrderedReadPieces = 8;

struct OrderedReadResult {
  uint64_t bytes = 0;    // bytes handed to the consumer, from offset 0
  bool failed = false;   // a read failed or the file ended before `size`
  bool stopped = false;  // the stop token ended it
};

using OrderedReadConsumer = std::function<void(const uint8_t* data, size_t length, uint64_t offset)>;

OrderedReadResult ReadInOrder(int fd, uint64_t size, const OrderedReadConsumer& consume,
                              const std::stop_token& stop = {});

}  // namespace flashery
