#include "engine/block_plan.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/image_profile.h"

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

TEST(BlockPlan, FileBlockSequenceRunsOneToNine) {
  uint16_t seq = 1;
  std::vector<uint16_t> seen;
  for (int i = 0; i < 12; ++i) {
    seen.push_back(seq);
    seq = NextBlockSequence(seq);
  }
  EXPECT_EQ(seen, (std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 1, 2, 3}));
}

TEST(ImageProfiles, RowsCarryTheirCodesSectionsAndMilestones) {
  struct Row {
    ImageKind kind;
    uint8_t code;
    ImageSection section;
    uint32_t milestone;
    int label;
    bool endRetry;
  } rows[] = {
      {ImageKind::Xloader, 1, ImageSection::MLO, 3000, 62, false},
      {ImageKind::Bootloader, 2, ImageSection::BL, 6000, 63, false},
      {ImageKind::Kernel, 4, ImageSection::NK, 10000, 65, false},
      {ImageKind::SystemPlain, 5, ImageSection::System, 18000, 66, true},
      {ImageKind::SystemSegmented, 5, ImageSection::System, 18000, 66, true},
      {ImageKind::Userdata, 6, ImageSection::Userdata, 26000, 67, true},
      {ImageKind::Cache, 7, ImageSection::Cache, 27000, 68, false},
      {ImageKind::Recovery, 8, ImageSection::Recovery, 28000, 69, false},
      {ImageKind::Env, 3, ImageSection::Evn, 32700, 64, false},
  };
  for (const Row& r : rows) {
    const ImageProfile& p = ProfileFor(r.kind);
    EXPECT_EQ(p.kind, r.kind);
    EXPECT_EQ(p.imageCode, r.code);
    EXPECT_EQ(p.section, r.section);
    EXPECT_EQ(p.milestone, r.milestone);
    EXPECT_EQ(p.labelTextId, r.label);
    EXPECT_EQ(p.endRetry, r.endRetry);
  }
  EXPECT_STREQ(ProfileFor(ImageKind::Bootloader).abortFormat, "%ld");
  EXPECT_STREQ(ProfileFor(ImageKind::Cache).openErrorFormat, "%d, %s");
  EXPECT_STREQ(ProfileFor(ImageKind::Recovery).progressFormat, " (%2.1f%%)...");
  EXPECT_STREQ(ProfileFor(ImageKind::SystemSegmented).segmentWaitFormat, "%d s\r\n");
  EXPECT_STREQ(ProfileFor(ImageKind::SystemPlain).segmentWaitFormat, "%d s");
  EXPECT_TRUE(ProfileFor(ImageKind::Xloader).pathErrorLineEnd);
  EXPECT_EQ(ProfileFor(ImageKind::Userdata).readyProgress, 25000u);

  ImageProfile e = ExtendProfile(2, "apps", 0x21);
  EXPECT_EQ(e.label, "appsdownload:");
  EXPECT_EQ(e.beginLogText, "apps download begining。。。");
  EXPECT_EQ(e.imageCode, 0x21);
  EXPECT_EQ(e.extendSlot, 2);
  EXPECT_EQ(e.labelTextId, -1);
  EXPECT_STREQ(e.openErrorFormat, "%d ,%s");
}

}  // namespace
}  // namespace flashery
