#include "engine/block_plan.h"

#include <gtest/gtest.h>

#include <vector>

namespace flashery {
namespace {

struct Segment {
  uint32_t length;
  uint32_t blocks;
  bool last;
};

// Walks an image the way the segmented procedure does when no block is
// refused, and returns its segments.
std::vector<Segment> WalkSegments(uint32_t size) {
  std::vector<Segment> out;
  uint32_t sent = 0, inSegment = 0, committed = 0;
  while (sent < size) {
    BlockStep b = NextBlock(size, sent, inSegment, true);
    EXPECT_GT(b.length, 0u);
    EXPECT_LE(b.length, kBlockBytes);
    sent += b.length;
    ++inSegment;
    if (SegmentComplete(inSegment, b.last)) {
      out.push_back({sent - committed, inSegment, b.last});
      committed = sent;
      inSegment = 0;
    }
  }
  return out;
}

TEST(BlockPlan, PlainBlocksEndExactlyAtTheImageSize) {
  struct Row {
    uint32_t size, sent, length;
    bool last;
  } rows[] = {
      {1, 0, 1, true},
      {65024, 0, 65024, true},
      {65025, 0, 65024, false},
      {65025, 65024, 1, true},
      {200000, 130048, 65024, false},
      {200000, 195072, 4928, true},
  };
  for (const Row& r : rows) {
    BlockStep b = NextBlock(r.size, r.sent, 0, false);
    EXPECT_EQ(b.length, r.length) << r.size << " at " << r.sent;
    EXPECT_EQ(b.last, r.last) << r.size << " at " << r.sent;
  }
  // A plain transfer ignores the segment position entirely.
  EXPECT_EQ(NextBlock(10000000, 0, 266, false).length, kBlockBytes);
}

TEST(BlockPlan, SegmentsHold266FullBlocksAndATailBlock) {
  EXPECT_EQ(266u * kBlockBytes + kSegmentTailBlockBytes, kSegmentBytes);
  EXPECT_EQ(NextBlock(kSegmentBytes * 2, 266u * kBlockBytes, 266, true).length, kSegmentTailBlockBytes);

  auto one = WalkSegments(kSegmentBytes + 1);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_EQ(one[0].length, kSegmentBytes);
  EXPECT_EQ(one[0].blocks, 267u);
  EXPECT_FALSE(one[0].last);
  EXPECT_EQ(one[1].length, 1u);
  EXPECT_TRUE(one[1].last);

  auto exact = WalkSegments(kSegmentBytes);
  ASSERT_EQ(exact.size(), 1u);
  EXPECT_TRUE(exact[0].last);

  // Rest of the image smaller than the tail block ends in the tail slot.
  auto tail = WalkSegments(266u * kBlockBytes + 100);
  ASSERT_EQ(tail.size(), 1u);
  EXPECT_EQ(tail[0].length, 266u * kBlockBytes + 100);

  auto three = WalkSegments(2 * kSegmentBytes + 70000);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[2].length, 70000u);
  EXPECT_EQ(three[2].blocks, 2u);
}

}  // namespace
}  // namespace flashery
