// Every fault option does what it says, and none of them counts as a
// refusal of the station's input.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "scripted_station.h"
#include "sim/fault_plan.h"
#include "sim/handset_model.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

struct Bench {
  flashery::testing::TempDir dir;
  FakeClock clock;
  HandsetModel model;
  ScriptedStation station{model, clock};

  explicit Bench(FaultSpec faults) : model(Config(dir.path(), std::move(faults)), clock) {
    EXPECT_TRUE(model.PowerOn());
  }
  static HandsetConfig Config(const std::string& dir, FaultSpec faults) {
    HandsetConfig c;
    c.serial = "SIM0003";
    c.folder = dir + "/SIM0003";
    c.faults = std::move(faults);
    return c;
  }
  size_t faults() { return model.report().faults.size(); }
  size_t rejected() { return model.report().rejected.size(); }
};

FaultSpec Parsed(const char* refuse = nullptr, const char* late = nullptr, const char* block = nullptr) {
  FaultSpec f;
  std::string error;
  if (refuse) {
    f.refuse.emplace_back();
    EXPECT_TRUE(ParseCommandFault(refuse, f.refuse.back(), error)) << error;
  }
  if (late) {
    f.late.emplace_back();
    EXPECT_TRUE(ParseCommandFault(late, f.late.back(), error)) << error;
  }
  if (block) {
    f.rejectBlocks.emplace_back();
    EXPECT_TRUE(ParseBlockFault(block, f.rejectBlocks.back(), error)) << error;
  }
  return f;
}

TEST(HandsetFaults, OptionTextsParseOrAreRefused) {
  CommandFault c;
  BlockFault b;
  std::string error;
  ASSERT_TRUE(ParseCommandFault("endfile:3@2", c, error));
  EXPECT_EQ(c.kind, CommandKind::kEndFile);
  EXPECT_EQ(c.times, 3u);
  EXPECT_EQ(c.from, 2u);
  ASSERT_TRUE(ParseCommandFault("OpenDownload", c, error));
  EXPECT_EQ(c.times, 1u);
  EXPECT_EQ(c.from, 1u);
  for (const char* bad : {"", "Nope", "EndFile:0", "EndFile:x", "EndFile@", "EndFile:2@0", ":3"})
    EXPECT_FALSE(ParseCommandFault(bad, c, error)) << bad;
  ASSERT_TRUE(ParseBlockFault("4:2@image5", b, error));
  EXPECT_EQ(b.block, 4u);
  EXPECT_EQ(b.times, 2u);
  EXPECT_EQ(b.target, "image5");
  ASSERT_TRUE(ParseBlockFault("1@//udisk//a.mp3", b, error));
  EXPECT_EQ(b.times, 1u);
  EXPECT_EQ(b.target, "//udisk//a.mp3");
  for (const char* bad : {"", "0", "x:1", "2:", "2@", "99999999999"})
    EXPECT_FALSE(ParseBlockFault(bad, b, error)) << bad;
}

TEST(HandsetFaults, RefuseStrikesTheCountedOccurrencesOnly) {
  Bench b(Parsed("OpenDownload:2@2"));
  EXPECT_TRUE(b.station.OpenDownload());   // 1st
  EXPECT_FALSE(b.station.OpenDownload());  // 2nd, 3rd refused
  EXPECT_FALSE(b.station.OpenDownload());
  EXPECT_TRUE(b.station.OpenDownload());   // 4th
  EXPECT_EQ(b.faults(), 2u);
  EXPECT_EQ(b.rejected(), 0u);
}

TEST(HandsetFaults, LateAnswersComeAfterTheTimeoutAndDoNothing) {
  Bench b(Parsed(nullptr, "BeginImage"));
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  HandsetReply r = b.station.Send(BeginImageCdb(1, 10));
  EXPECT_EQ(r.timing, ReplyTiming::kAfterTimeout);
  EXPECT_GT(r.delayMs, 8000u);
  EXPECT_NE(r.scsiStatus, kStatusGood);
  // It was not carried out: a block finds no image open.
  Bytes data = Pattern(10, 1);
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(data.data(), 10, true), kDirToDevice, data.data(), 10));
  EXPECT_EQ(b.model.report().rejected.back().reason, "no image is open");
  EXPECT_TRUE(b.station.SendImage(1, data));
}

TEST(HandsetFaults, ARejectedBlockIsTakenWhenSentAgain) {
  Bench b(Parsed(nullptr, nullptr, "2:3@image4"));
  Bytes image = Pattern(3 * 65024, 2);
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.SendImage(1, image));  // another image: untouched
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(4, static_cast<uint32_t>(image.size()))));
  const uint8_t* p = image.data();
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p, 0xFE00, false), kDirToDevice, p, 0xFE00));
  for (int i = 0; i < 3; ++i)
    EXPECT_FALSE(b.station.Ok(ImageBlockCdb(p + 0xFE00, 0xFE00, false), kDirToDevice, p + 0xFE00, 0xFE00));
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + 0xFE00, 0xFE00, false), kDirToDevice, p + 0xFE00, 0xFE00));
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + 0x1FC00, 0xFE00, true), kDirToDevice, p + 0x1FC00, 0xFE00));
  ASSERT_TRUE(b.station.Ok(EndImageCdb(4, static_cast<uint32_t>(image.size()))));
  EXPECT_EQ(*ReadWholeFile(b.dir.path() + "/SIM0003/images/image_4.bin"),
            std::string(image.begin(), image.end()));
  EXPECT_EQ(b.faults(), 3u);
  EXPECT_EQ(b.rejected(), 0u);
}

TEST(HandsetFaults, DropNeverReadyAndWrongPollReplies) {
  {
    FaultSpec f;
    f.dropAtBlock = 2;
    Bench b(f);
    ASSERT_TRUE(b.station.OpenDownload());
    ASSERT_TRUE(b.station.WaitReady());
    Bytes image = Pattern(2 * 65024, 3);
    ASSERT_TRUE(b.station.Ok(BeginImageCdb(1, static_cast<uint32_t>(image.size()))));
    ASSERT_TRUE(b.station.Ok(ImageBlockCdb(image.data(), 0xFE00, false), kDirToDevice, image.data(), 0xFE00));
    HandsetReply r = b.station.Send(ImageBlockCdb(image.data() + 0xFE00, 0xFE00, true), kDirToDevice,
                                    image.data() + 0xFE00, 0xFE00);
    EXPECT_EQ(r.timing, ReplyTiming::kDropConnection);
    // Once only; the block was not taken.
    EXPECT_TRUE(b.station.Ok(ImageBlockCdb(image.data() + 0xFE00, 0xFE00, true), kDirToDevice,
                             image.data() + 0xFE00, 0xFE00));
  }
  {
    FaultSpec f;
    f.neverReady = true;
    Bench b(f);
    ASSERT_TRUE(b.station.OpenDownload());
    EXPECT_FALSE(b.station.WaitReady());
    EXPECT_TRUE(b.station.Ok(CheckAliveCdb()));  // still up
  }
  {
    FaultSpec f;
    f.wrongPollStorage = 2;
    f.wrongPollCompletion = kAlways;
    Bench b(f);
    ASSERT_TRUE(b.station.OpenDownload());
    ASSERT_TRUE(b.station.ToStorageStage());
    ASSERT_TRUE(b.station.Ok(PrepareCdb(1)));
    b.clock.SleepMs(2000);
    EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=0:p4=1");
    EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=0:p4=1");
    EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=1:p4=1");
    EXPECT_FALSE(b.station.WaitCompletion());
    EXPECT_FALSE(b.model.report().completed);
    EXPECT_EQ(b.rejected(), 0u);
  }
}

TEST(HandsetFaults, RestartFaultsDecideHowTheHandsetComesBack) {
  {
    FaultSpec f;
    f.neverReturnAfter = 2;
    Bench b(f);
    ASSERT_TRUE(b.station.OpenDownload());
    ASSERT_TRUE(b.station.WaitReady());
    ASSERT_TRUE(b.station.Leave(RestartCdb(false)));       // first leave: back
    EXPECT_FALSE(b.station.Leave(SelectModeCdb()));        // second: gone
  }
  {
    FaultSpec f;
    f.otherSerial = true;
    Bench b(f);
    ASSERT_TRUE(b.station.OpenDownload());
    ASSERT_TRUE(b.station.WaitReady());
    EXPECT_EQ(b.model.busSerial(), "SIM0003");
    ASSERT_TRUE(b.station.Leave(RestartCdb(false)));
    EXPECT_EQ(b.model.busSerial(), "SIM0003-R1");
    EXPECT_NE(b.model.interfacePath().find("#SIM0003-R1&0#"), std::string::npos);
    EXPECT_EQ(b.model.report().serial, "SIM0003");
  }
}

}  // namespace
}  // namespace flashery::sim
