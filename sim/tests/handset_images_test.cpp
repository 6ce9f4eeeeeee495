// The download stage driven by faulty stations: every wrong block, end,
// order and segment is refused and leaves the stored image as it was. (A
// correct station's download is the engine's tests, against this model.)
#include <gtest/gtest.h>

#include "package/crc16.h"
#include "platform/files.h"
#include "scripted_station.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

TEST(HandsetImages, BadBlocksAndEndsAreRefusedWithoutChangingTheImage) {
  ModelBench b;
  Bytes image = Pattern(3 * 65024 + 100, 7);
  uint32_t size = static_cast<uint32_t>(image.size());
  const uint8_t* p = image.data();
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(6, size)));
  Cdb wrongCheck = ImageBlockCdb(p, 0xFE00, false);
  wrongCheck[6] ^= 1;
  struct Bad {
    Cdb cdb;
    uint32_t length;
    const char* reason;
  } bad[] = {
      {wrongCheck, 0xFE00, "check value"},
      {ImageBlockCdb(p, 0xFE00, true), 0xFE00, "last-block byte is 1"},
      {ImageBlockCdb(p, 0x8000, false), 0x8000, "before the last"},
  };
  for (const Bad& x : bad) {
    EXPECT_FALSE(b.station.Ok(x.cdb, kDirToDevice, p, x.length));
    EXPECT_NE(b.LastReason().find(x.reason), std::string::npos) << b.LastReason();
  }
  for (uint32_t sent = 0; sent < size;) {
    uint32_t n = std::min<uint32_t>(0xFE00, size - sent);
    ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, n, sent + n == size), kDirToDevice, p + sent, n));
    sent += n;
  }
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(p, 10, true), kDirToDevice, p, 10));
  EXPECT_NE(b.LastReason().find("runs past the image size"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(EndImageCdb(6, size + 1)));
  EXPECT_NE(b.LastReason().find("BeginImage said"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(EndImageCdb(7, size)));
  ASSERT_TRUE(b.station.Ok(EndImageCdb(6, size)));
  EXPECT_EQ(b.Stored("images/image_6.bin"), image);
  EXPECT_EQ(b.rejected().size(), 6u);
}

TEST(HandsetImages, OrderReadinessAndCompletenessAreChecked) {
  ModelBench b;
  Bytes image = Pattern(70000, 9);
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("OpenDownload"), std::string::npos);
  ASSERT_TRUE(b.station.OpenDownload());
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("busy"), std::string::npos);
  ASSERT_TRUE(b.station.WaitReady());
  EXPECT_FALSE(b.station.Out(NameCdb(1, 9), Bytes(9, 'a')));  // a storage command
  EXPECT_NE(b.LastReason().find("download stage"), std::string::npos);

  ASSERT_TRUE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(3, 10)));  // one image at a time
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(image.data(), 0xFE00, false), kDirToDevice, image.data(), 0xFE00));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("received 65024 of 70000"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(FinishImagesCdb(false)));
  EXPECT_NE(b.LastReason().find("still open"), std::string::npos);
  // AbortImage drops the partial image; the repetition is stored whole.
  ASSERT_TRUE(b.station.Ok(AbortImageCdb()));
  EXPECT_FALSE(PathExists(b.Path("images/image_2.bin")));
  ASSERT_TRUE(b.station.SendImage(2, image));
  EXPECT_EQ(b.Stored("images/image_2.bin"), image);
}

TEST(HandsetImages, SegmentsAreCheckedForLengthNumberAndCheckRegister) {
  ModelBench b;
  Bytes system = Pattern(17301504 + 70000, 11);
  uint32_t size = static_cast<uint32_t>(system.size());
  const uint8_t* p = system.data();
  auto block = [&](uint32_t at, uint32_t n, bool last = false) {
    return b.station.Ok(ImageBlockCdb(p + at, n, last), kDirToDevice, p + at, n);
  };
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(5, size)));
  uint32_t sent = 0;
  for (int i = 0; i < 266; ++i, sent += 0xFE00) ASSERT_TRUE(block(sent, 0xFE00));
  ASSERT_TRUE(block(sent, 0x1400));
  sent += 0x1400;
  EXPECT_FALSE(block(sent, 0xFE00));  // the segment is full
  EXPECT_NE(b.LastReason().find("not committed"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent - 1, 1, false)));
  EXPECT_NE(b.LastReason().find("length"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent, 2, false)));
  EXPECT_NE(b.LastReason().find("segment number 2, expected 1"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent, 1, true)));
  ASSERT_TRUE(b.station.Ok(CommitSegmentCdb(5, sent, 1, false)));
  uint32_t check = Crc16Update(p, sent, 0);
  EXPECT_FALSE(b.station.Ok(SegmentCheckCdb(5, check & 0xFFFF)));  // all 32 bits count
  EXPECT_NE(b.LastReason().find("segment 1 check"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(SegmentCheckCdb(5, check)));
  EXPECT_FALSE(block(sent, 0xFE00));  // busy storing the segment
  ASSERT_TRUE(b.station.WaitReady(1200));
  ASSERT_TRUE(block(sent, 0xFE00));
  sent += 0xFE00;
  ASSERT_TRUE(block(sent, size - sent, true));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(5, size)));
  EXPECT_NE(b.LastReason().find("not committed as a segment"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(CommitSegmentCdb(5, 70000, 2, true)));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(5, size)));
  EXPECT_NE(b.LastReason().find("check not sent"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(SegmentCheckCdb(5, Crc16Update(p + 17301504, 70000, 0))));
  ASSERT_TRUE(b.station.WaitReady(1200));
  ASSERT_TRUE(b.station.Ok(EndImageCdb(5, size)));
  EXPECT_EQ(b.Stored("images/image_5.bin"), system);
}

}  // namespace
}  // namespace flashery::sim
