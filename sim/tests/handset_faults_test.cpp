// Every fault does what it says, and none counts as a refusal of the
// station's input.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "scripted_station.h"
#include "sim/fault_plan.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

CommandFault Command(const char* text) {
  CommandFault f;
  std::string error;
  EXPECT_TRUE(ParseCommandFault(text, f, error)) << error;
  return f;
}

TEST(HandsetFaults, RefuseAndLateStrikeTheCountedOccurrencesOnly) {
  FaultList f;
  f.refuse.push_back(Command("OpenDownload:2@2"));
  f.late.push_back(Command("BeginImage"));
  ModelBench b(f);
  EXPECT_TRUE(b.station.OpenDownload());   // 1st
  EXPECT_FALSE(b.station.OpenDownload());  // 2nd and 3rd refused
  EXPECT_FALSE(b.station.OpenDownload());
  EXPECT_TRUE(b.station.OpenDownload());   // 4th
  ASSERT_TRUE(b.station.WaitReady());
  HandsetReply r = b.station.Send(BeginImageCdb(1, 10));
  EXPECT_EQ(r.timing, ReplyTiming::kAfterTimeout);
  EXPECT_GT(r.delayMs, 8000u);
  EXPECT_NE(r.scsiStatus, kStatusGood);
  // A late command was not carried out: no image is open.
  Bytes data = Pattern(10, 1);
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(data.data(), 10, true), kDirToDevice, data.data(), 10));
  EXPECT_EQ(b.LastReason(), "no image is open");
  EXPECT_TRUE(b.station.SendImage(1, data));
  EXPECT_EQ(b.model.report().faults.size(), 3u);
  EXPECT_EQ(b.rejected().size(), 1u);
}

TEST(HandsetFaults, ARejectedBlockIsTakenWhenSentAgainAndADropHappensOnce) {
  FaultList f;
  std::string error;
  f.rejectBlocks.emplace_back();
  ASSERT_TRUE(ParseBlockFault("2:3@image4", f.rejectBlocks.back(), error));
  f.dropAtBlock = 9;
  ModelBench b(f);
  Bytes image = Pattern(3 * 65024, 2);
  const uint8_t* p = image.data();
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.SendImage(1, image));  // another image: untouched (blocks 1-3)
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(4, static_cast<uint32_t>(image.size()))));
  auto block = [&](uint32_t at, bool last = false) {
    return b.station.Send(ImageBlockCdb(p + at, 0xFE00, last), kDirToDevice, p + at, 0xFE00);
  };
  ASSERT_EQ(block(0).scsiStatus, kStatusGood);
  for (int i = 0; i < 3; ++i) EXPECT_NE(block(0xFE00).scsiStatus, kStatusGood);
  ASSERT_EQ(block(0xFE00).scsiStatus, kStatusGood);  // WriteBlock number 8
  EXPECT_EQ(block(0x1FC00, true).timing, ReplyTiming::kDropConnection);
  ASSERT_EQ(block(0x1FC00, true).scsiStatus, kStatusGood);
  ASSERT_TRUE(b.station.Ok(EndImageCdb(4, static_cast<uint32_t>(image.size()))));
  EXPECT_EQ(b.Stored("images/image_4.bin"), image);
  EXPECT_EQ(b.model.report().faults.size(), 4u);
  EXPECT_TRUE(b.rejected().empty()) << b.LastReason();
}

// (Never-ready, never-return and other-serial handsets are the engine's
// tests, against this model.)
TEST(HandsetFaults, WrongPollReplies) {
  FaultList f;
  f.wrongPollStorage = 2;
  f.wrongPollCompletion = kAlways;
  ModelBench b(f);
  ASSERT_TRUE(b.ToStorage());
  ASSERT_TRUE(b.station.Ok(PrepareCdb(1)));
  b.clock.SleepMs(2000);
  EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=0:p4=1");
  EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=0:p4=1");
  EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=1:p4=1");
  EXPECT_FALSE(b.station.WaitCompletion());
  EXPECT_FALSE(b.model.report().completed);
  EXPECT_TRUE(b.rejected().empty());
}

}  // namespace
}  // namespace flashery::sim
