// Block and segment arithmetic of the transfers, as pure functions.
//
// Images and files travel in blocks of 65,024 bytes (127 sectors). The
// segmented system image is committed in segments of 267 blocks: 266 full
// blocks and one of 5,120 bytes, 17,301,504 bytes in all; the handset
// checks each segment as a whole before the next one follows. File blocks
// carry a sequence number that runs 1, 2, ..., 9 and then 1 again.
#pragma once

#include <cstdint>

namespace flashery {

constexpr uint32_t kBlockBytes = 65024;               // 0xFE00
constexpr uint32_t kSegmentTailBlockBytes = 5120;     // 0x1400
constexpr uint32_t kBlocksPerSegment = 267;           // 266 full blocks + the tail block
constexpr uint32_t kSegmentBytes = 17301504;          // 0x1080000
constexpr uint32_t kUnreadableSize = 0xFFFFFFFFu;     // "no size" of a section or file

struct BlockStep {
  uint32_t length = 0;  // bytes of the next block
  bool last = false;    // the block ends the image or file
};

// The next block of an image of `size` bytes of which `sent` are accepted.
// `blockInSegment` counts the blocks accepted in the current segment (only
// used when `segmented`). Requires sent < size.
BlockStep NextBlock(uint32_t size, uint32_t sent, uint32_t blockInSegment, bool segmented);

// After the block that made `blocksInSegment` blocks of the segment and
// possibly ended the image: is the segment complete?
inline bool SegmentComplete(uint32_t blocksInSegment, bool lastBlock) {
  return blocksInSegment == kBlocksPerSegment || lastBlock;
}

// The sequence number after `seq` (1..9, then 1).
inline uint16_t NextBlockSequence(uint16_t seq) { return seq >= 9 ? 1 : static_cast<uint16_t>(seq + 1); }

}  // namespace flashery
