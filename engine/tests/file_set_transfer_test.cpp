#include "engine/file_set_transfer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/storage_procedures.h"
#include "platform/files.h"
#include "station_harness.h"

namespace flashery::test {
namespace {

// A handset in its storage stage, as after the two restarts.
std::unique_ptr<PortDevice> StorageDevice(Station& st, sim::HandsetConfig cfg = {}) {
  cfg.timings.offBusMs = 100;
  st.Plug(0, "FS1", cfg);
  auto dev = st.OpenDevice(0);
  for (int restart = 0; restart < 2; ++restart) {
    bool sent = restart == 0 ? RestartIntoStorage(*dev, false) : SelectStorageMode(*dev);
    EXPECT_TRUE(sent);
    for (int i = 0; i < 20; ++i) st.clock.SleepMs(500);
    dev = st.OpenDevice(0);
  }
  return dev;
}

void Write(const std::string& path, size_t size, uint32_t seed) { ASSERT_TRUE(WriteBytes(path, TestBytes(size, seed))); }

TEST(FileSetTransfer, CopiesTheTreeUnderItsHandsetNames) {
  Station st;
  std::string res = st.dir / "srv/GPS/release/内置资源";  // a marker folder above the set
  Write(res + "/我的音乐/歌.mp3", 65024, 1);
  Write(res + "/我的音乐/next.mp3", 65025, 2);
  Write(res + "/empty.txt", 0, 3);
  Write(res + "/deep/a/b/ten.bin", 9 * 65024 + 5, 4);  // ten blocks: sequence 1..9, 1
  Write(res + "/resfile_pc.txt", 10, 5);
  Write(res + "/deep/old_resfile_pc.txt", 10, 6);
  MakeDirectories(res + "/我的影片");
  auto dev = StorageDevice(st);

  ASSERT_TRUE(TransferFileSet(*dev, FileSetKind::Resources, res, 0));
  auto report = st.handset(0).Report();
  EXPECT_EQ(Rejections(report), "");
  ExpectStorageMirrors(st.handset(0).folder(), "udisk", res);
  EXPECT_TRUE(IsDirectory(st.handset(0).folder() + "/storage/udisk/我的影片"));
  EXPECT_EQ(report.prepared, std::vector<int>{2});
  EXPECT_EQ(dev->out.progressPosition, 10000u + 1);  // the milestone, then the final message
  EXPECT_EQ(st.Count("[80][79]"), 1u);
  EXPECT_EQ(st.Count("[95]empty.txt"), 1u);
  EXPECT_EQ(st.Count("[89]//udisk//deep//a//b//ten.bin"), 0u);  // file creation: status line only
  EXPECT_EQ(st.Count("[92]//udisk//deep//a//b//ten.bin"), 1u);
  EXPECT_EQ(st.Count("[90]//udisk//deep//a"), 2u);  // //udisk//deep//a and ...//a//b
}

TEST(FileSetTransfer, ABlockIsSentUpTo23TimesKeepingItsNumber) {
  for (uint32_t refusals : {22u, 23u}) {
    Station st;
    std::string gps = st.dir / "r/GPS";
    Write(gps + "/QUILMAP/map.dat", 3 * 65024, 9);
    sim::HandsetConfig cfg;
    cfg.faults.rejectBlocks = {{2, refusals, ""}};
    auto dev = StorageDevice(st, cfg);
    SCOPED_TRACE(refusals);
    ASSERT_TRUE(TransferFileSet(*dev, FileSetKind::Gps, gps, 1));
    ExpectStorageMirrors(st.handset(0).folder(), "gpsdata", gps);
    auto report = st.handset(0).Report();
    EXPECT_EQ(st.Count("map.dat[76]"), std::min(refusals, 22u));
    // 23 refusals: the content fails, EndFile is refused, the second attempt copies the file.
    EXPECT_EQ(TraceCount(report, "BeginFile"), refusals == 22 ? 1u : 2u);
    EXPECT_EQ(st.Count("map.dat[77]->65024 "), refusals == 22 ? 0u : 1u);
    EXPECT_EQ(report.prepared, std::vector<int>{});  // formatMode 1: prepared by the job
  }
}

TEST(FileSetTransfer, AFileThatCannotBeReadIsNeverTakenAsCopied) {
  Station st;
  std::string brand = st.dir / "app/quillon";
  Write(brand + "/presetapp/a.apk", 100, 1);
  ASSERT_EQ(::symlink("/nonexistent/file", (brand + "/presetapp/broken.apk").c_str()), 0);
  auto dev = StorageDevice(st);
  EXPECT_FALSE(TransferFileSet(*dev, FileSetKind::Brand, brand, 0));
  auto report = st.handset(0).Report();
  EXPECT_EQ(report.prepared, (std::vector<int>{4, 3}));
  EXPECT_EQ(st.Count("[94]broken.apk"), 5u);
  EXPECT_EQ(st.Count("[86]"), 1u);
  EXPECT_EQ(st.Count("[82][84]"), 1u);
  EXPECT_TRUE(ReadBytes(st.handset(0).folder() + "/storage/quillon/presetapp/a.apk") == TestBytes(100, 1));
}

TEST(FileSetTransfer, MissingAndInvalidSetFolders) {
  Station st;
  auto dev = StorageDevice(st);
  // A set folder that does not exist copies nothing and succeeds.
  EXPECT_TRUE(TransferFileSet(*dev, FileSetKind::Gps, st.dir / "none/GPS", 1));
  EXPECT_EQ(dev->out.progressPosition, 32500u + 1);
  EXPECT_EQ(st.Count("[81][79]"), 1u);
  // Shorter than 5 characters: label + text 83 + path, 800 ms.
  EXPECT_FALSE(TransferFileSet(*dev, FileSetKind::Gps, "/GPS", 1));
  EXPECT_EQ(st.Count("[81][83]/GPS"), 1u);
  EXPECT_EQ(st.clock.sleeps().back(), 800u);
  // Outside every marker folder: text 88, five attempts.
  std::string plain = st.dir / "plain";
  Write(plain + "/x.bin", 5, 1);
  EXPECT_FALSE(TransferFileSet(*dev, FileSetKind::Resources, plain, 1));
  EXPECT_EQ(st.Count("[88]" + plain + "/x.bin"), 10u);  // mapping and creation, 5 attempts
}

TEST(StorageProcedures, PreparationIsRepeatedAndPolled) {
  Station st;
  sim::HandsetConfig cfg;
  cfg.faults.refuse = {{sim::CommandKind::kPrepareStorage, 12, 1}};
  cfg.faults.wrongPollStorage = 2;
  auto dev = StorageDevice(st, cfg);
  EXPECT_FALSE(PrepareStorageArea(*dev, 2));  // refused 10 times
  EXPECT_EQ(st.Count("[96]"), 10u);
  EXPECT_TRUE(PrepareStorageArea(*dev, 1));   // two more refusals, two wrong replies
  EXPECT_EQ(dev->out.progressPosition, 3000u);
  EXPECT_EQ(st.Count("[98]"), 1u);
  EXPECT_EQ(st.handset(0).Report().prepared, std::vector<int>{1});
}

TEST(FileSetTransfer, NamesTheSetsListCannotHoldFailTheSetByName) {
  struct Case {
    std::string name;  // as stored on this disk
    Codepage cp;
    bool sent;
    std::string handsetName;
  } cases[] = {
      {"\xB8\xE8.dat", Codepage::Gbk, true, "歌.dat"},  // GBK bytes, unpacked from an old archive
      {"系統.dat", Codepage::Big5, true, "系統.dat"},
      {"emoji😀.dat", Codepage::Gbk, false, ""},
      {"a\\b.dat", Codepage::Gbk, false, ""},
      {"tab\t.dat", Codepage::Gbk, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.handsetName);
    Station st;
    std::string gps = st.dir / "r/GPS";
    Write(gps + "/QUILMAP/" + c.name, 10, 1);
    auto dev = StorageDevice(st);
    EXPECT_EQ(TransferFileSet(*dev, FileSetKind::Gps, gps, 1, c.cp), c.sent);
    auto report = st.handset(0).Report();
    if (c.sent) {
      EXPECT_TRUE(ReadBytes(st.handset(0).folder() + "/storage/gpsdata/QUILMAP/" + c.handsetName) == TestBytes(10, 1));
    } else {
      EXPECT_EQ(TraceCount(report, "BeginFile"), 0u);
      EXPECT_GE(st.Count(c.name), 1u);  // the message names it
    }
  }
}

}  // namespace
}  // namespace flashery::test
