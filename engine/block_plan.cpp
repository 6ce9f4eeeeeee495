#include "engine/block_plan.h"

namespace flashery {

BlockStep NextBlock(uint32_t size, uint32_t sent, uint32_t blockInSegment, bool segmented) {
  uint32_t cap = kBlockBytes;
  if (segmented && blockInSegment == kBlocksPerSegment - 1) cap = kSegmentTailBlockBytes;
  uint32_t remaining = size - sent;
  if (remaining <= cap) return {remaining, true};
  return {cap, false};
}

}  // namespace flashery
