#include "engine/block_plan.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace flashery {
namespace {

TEST(BlockPlan, PlainBlocksEndExactlyAtTheImageSize) {
  struct Row {
    uint32_t size, sent, length;
    bool last;
  } rows[] = {
      {1, 0, 1, true},         {65024, 0, 65024, true},       {65025, 0, 65024, false},
      {65025, 65024, 1, true}, {200000, 195072, 4928, true},
      {10000000, 0, 65024, false},  // a plain transfer ignores the segment position
  };
  for (const Row& r : rows) {
    BlockStep b = NextBlock(r.size, r.sent, 266, false);
    EXPECT_EQ(b.length, r.length) << r.size << " at " << r.sent;
    EXPECT_EQ(b.last, r.last) << r.size << " at " << r.sent;
  }
}

// Walks an image as the segmented procedure does when no block is refused:
// (bytes, blocks) of each committed segment; only the final one is last.
std::vector<std::pair<uint32_t, uint32_t>> WalkSegments(uint32_t size) {
  std::vector<std::pair<uint32_t, uint32_t>> out;
  uint32_t sent = 0, inSegment = 0, committed = 0;
  while (sent < size) {
    BlockStep b = NextBlock(size, sent, inSegment, true);
    if (b.length == 0 || b.length > kBlockBytes) {
      ADD_FAILURE() << "block of " << b.length;
      break;
    }
    sent += b.length;
    ++inSegment;
    EXPECT_EQ(b.last, sent == size);
    if (SegmentComplete(inSegment, b.last)) {
      out.emplace_back(sent - committed, inSegment);
      committed = sent;
      inSegment = 0;
    }
  }
  return out;
}

TEST(BlockPlan, SegmentsHold266FullBlocksAndATailBlock) {
  using V = std::vector<std::pair<uint32_t, uint32_t>>;
  const uint32_t full = 266u * kBlockBytes;
  EXPECT_EQ(WalkSegments(kSegmentBytes), (V{{kSegmentBytes, 267}}));
  EXPECT_EQ(WalkSegments(kSegmentBytes + 1), (V{{kSegmentBytes, 267}, {1, 1}}));
  EXPECT_EQ(WalkSegments(full + 100), (V{{full + 100, 267}}));  // the rest ends in the tail slot
  EXPECT_EQ(WalkSegments(2 * kSegmentBytes + 70000), (V{{kSegmentBytes, 267}, {kSegmentBytes, 267}, {70000, 2}}));
  EXPECT_EQ(NextBlock(2 * kSegmentBytes, full, 266, true).length, kSegmentTailBlockBytes);
}

}  // namespace
}  // namespace flashery
