// The second and storage stages against faulty stations: restarts, storage
// preparation, file blocks, names and completion.
#include <gtest/gtest.h>

#include "package/crc16.h"
#include "platform/files.h"
#include "scripted_station.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

TEST(HandsetFiles, EndFileAndBlocksAreChecked) {
  ModelBench b;
  ASSERT_TRUE(b.ToStorage());
  Bytes content = Pattern(3 * 65024, 9);
  const uint8_t* p = content.data();
  uint32_t check = Crc16Update(p, content.size(), 0);
  auto block = [&](size_t index, uint16_t seq, uint32_t n = 0xFE00, bool last = false) {
    const uint8_t* at = p + index * 0xFE00;
    return b.station.Ok(FileBlockCdb(at, n, last, seq), kDirToDevice, at, n);
  };
  ASSERT_TRUE(b.station.BeginFile("//udisk//seq.bin"));
  EXPECT_FALSE(block(0, 0));
  EXPECT_NE(b.LastReason().find("sequence 0, expected 1"), std::string::npos);
  ASSERT_TRUE(block(0, 1));
  EXPECT_FALSE(block(0, 1));  // the accepted block once more
  EXPECT_NE(b.LastReason().find("sent twice"), std::string::npos);
  EXPECT_FALSE(block(1, 2, 1000));  // a short block that is not the last
  EXPECT_NE(b.LastReason().find("before the last"), std::string::npos);
  ASSERT_TRUE(block(1, 2));
  ASSERT_TRUE(block(2, 3, 0xFE00, true));
  EXPECT_FALSE(block(2, 4, 10, true));
  EXPECT_NE(b.LastReason().find("after the file's last block"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(EndFileCdb(3 * 65024, check & 0xFFFF)));  // a 32-bit register
  EXPECT_NE(b.LastReason().find("check register"), std::string::npos);
  EXPECT_FALSE(PathExists(b.Path("storage/udisk/seq.bin")));
  EXPECT_FALSE(b.station.Ok(EndFileCdb(3 * 65024, check)));  // the file was dropped
  EXPECT_NE(b.LastReason().find("no file is open"), std::string::npos);

  ASSERT_TRUE(b.station.BeginFile("//udisk//seq.bin"));
  ASSERT_TRUE(block(0, 1));
  EXPECT_FALSE(b.station.Ok(EndFileCdb(65023, Crc16Update(p, 0xFE00, 0))));
  EXPECT_NE(b.LastReason().find("size 65023, received 65024"), std::string::npos);
  ASSERT_TRUE(b.station.BeginFile("//udisk//seq.bin"));
  ASSERT_TRUE(block(0, 1));
  EXPECT_FALSE(b.station.Ok(EndFileCdb(0xFE00, Crc16Update(p, 0xFE00, 0))));
  EXPECT_NE(b.LastReason().find("not marked"), std::string::npos);
  // The station's whole-file repetition succeeds.
  ASSERT_TRUE(b.station.SendFile("//udisk//seq.bin", content));
  EXPECT_EQ(b.Stored("storage/udisk/seq.bin"), content);
}

TEST(HandsetFiles, NamesFoldersAndOrderAreChecked) {
  ModelBench b;
  ASSERT_TRUE(b.ToStorage());
  EXPECT_FALSE(b.station.CreateFolder("//udisk//..//..//escape"));
  EXPECT_FALSE(b.station.BeginFile("//udisk//../x"));
  EXPECT_FALSE(b.station.BeginFile("//udisk//missing//a.txt"));
  EXPECT_NE(b.LastReason().find("folder was not created"), std::string::npos);
  EXPECT_FALSE(b.station.BeginFile("//udisk"));
  EXPECT_FALSE(PathExists(b.dir.path() + "/escape"));
  ASSERT_TRUE(b.station.CreateFolder("//udisk//d"));
  EXPECT_FALSE(b.station.SendFile("//udisk//d", Pattern(5, 1)));  // a folder of that name
  ASSERT_TRUE(b.station.BeginFile("//udisk//d//open.bin"));
  EXPECT_FALSE(b.station.Ok(FinishFileSetsCdb()));
  EXPECT_NE(b.LastReason().find("still open"), std::string::npos);
  EXPECT_FALSE(b.station.BeginFile("//udisk//d//next.bin"));  // drops the open one
  EXPECT_TRUE(b.station.Ok(FinishFileSetsCdb()));
  EXPECT_EQ(b.station.PollStorageText(2), "<failed>");
  EXPECT_NE(b.LastReason().find("before PrepareStorage"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(PollCompletionCdb(), kDirFromDevice, nullptr, 50));
  EXPECT_NE(b.LastReason().find("before StartCompletion"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(OpenDownloadCdb()));  // image commands are over
  EXPECT_EQ(b.rejected().size(), 10u);
}

TEST(HandsetFiles, PreparationFormatsItsAreasAndAnswersWhenDone) {
  ModelBench b;
  ASSERT_TRUE(b.ToStorage());
  ASSERT_TRUE(b.station.Prepare(1));
  ASSERT_TRUE(b.station.SendFile("//udisk//keep.bin", Pattern(10, 1)));
  ASSERT_TRUE(b.station.SendFile("//gpsdata//gone.bin", Pattern(10, 2)));
  ASSERT_TRUE(b.station.Ok(PrepareCdb(5)));
  EXPECT_EQ(b.station.PollStorageText(5), "0");
  EXPECT_FALSE(PathExists(b.Path("storage/gpsdata/gone.bin")));
  EXPECT_TRUE(PathExists(b.Path("storage/udisk/keep.bin")));
  b.clock.SleepMs(1500);
  EXPECT_EQ(b.station.PollStorageText(5), "1");
  ASSERT_TRUE(b.station.Ok(PrepareCdb(1)));
  EXPECT_EQ(b.station.PollStorageText(1), "p1=0:p2=0:p3=0:p4=0");
  b.clock.SleepMs(800);
  EXPECT_EQ(b.station.PollStorageText(1), "p1=1:p2=1:p3=0:p4=0");
  b.clock.SleepMs(700);
  EXPECT_EQ(b.station.PollStorageText(1), "end=p1=1:p2=1:p3=1:p4=1");
  EXPECT_FALSE(PathExists(b.Path("storage/udisk/keep.bin")));
}

TEST(HandsetFiles, TheSecondStageTakesOnlySelectMode) {
  ModelBench b;
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  // The command-line restart carries byte 8 = 1 and needs no FinishImages.
  ASSERT_TRUE(b.station.Leave(RestartCdb(true)));
  EXPECT_EQ(b.model.report().restartFlag, 1);
  EXPECT_EQ(b.model.stage(), Stage::kSecond);
  EXPECT_FALSE(b.station.Ok(PrepareCdb(2)));
  EXPECT_FALSE(b.station.Ok(OpenDownloadCdb()));
  EXPECT_FALSE(b.station.Out(NameCdb(2, 5), Bytes(5, 'a')));
  EXPECT_TRUE(b.station.WaitReady(1));  // ready at once: polls come without pauses
  ASSERT_TRUE(b.station.Leave(SelectModeCdb()));
  EXPECT_EQ(b.model.stage(), Stage::kStorage);
  EXPECT_EQ(b.rejected().size(), 3u);
}

}  // namespace
}  // namespace flashery::sim
