#include <gtest/gtest.h>

#include "config/settings.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(Settings, AMissingFileGivesTheDefaults) {
  testing::TempDir dir;
  DownloadSelection s;
  s.systemSelected = 1;
  s.packagePath = "stale";
  LoadSettings(dir.path(), s);
  EXPECT_EQ(s.currentLang, 2052);
  EXPECT_EQ(s.systemSelected, 0);
  EXPECT_EQ(s.packagePath, "");
  EXPECT_EQ(s.extendCodes[6], 0);
  EXPECT_TRUE(LoadModelList(dir.path()).empty());
}

TEST(Settings, ReadsEveryKeyWhateverItsCaseAndKeepsLowBitsOfCodes) {
  testing::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "DownToolCfg.INI",
                             "[Language]\r\ncurrentLang=1033\r\n"
                             "[Project]\r\nphontype=QUILLON_T745\r\n"
                             "[checkinfo]\r\nchoseBootloader=1\r\nchosekernel=1\r\nchoseSYS=2\r\nchoseGPS=1\r\n"
                             "choseRes=1\r\nchoseQuilmart=1\r\nchoseQuiltone=1\r\n"
                             "[ExdFile]\r\nfilename3=apps\r\nfilecode3=300\r\nfilecode7=0x20\r\n"
                             "[FilePath]\r\nQFMfile=/res/a.QFM\r\niNandfile=/res\r\nGPSfile=/res/GPS\r\n"
                             "Resfile=/res/QUILMAP\r\nquilfile=/app/quillon\r\n"));
  DownloadSelection s;
  LoadSettings(dir.path(), s);
  EXPECT_EQ(s.currentLang, 1033);
  EXPECT_EQ(s.phoneModel, "QUILLON_T745");
  EXPECT_EQ(s.bootloaderSelected, 1);
  EXPECT_EQ(s.kernelSelected, 1);
  EXPECT_EQ(s.systemSelected, 2);  // stored as read
  EXPECT_EQ(s.brandSelected, 1);
  EXPECT_EQ(s.extendNames[2], "apps");
  EXPECT_EQ(s.extendCodes[2], 44);  // 300 & 0xFF
  EXPECT_EQ(s.extendCodes[6], 0x20);
  EXPECT_EQ(s.packagePath, "/res/a.QFM");
  EXPECT_EQ(s.brandFolder, "/app/quillon");
  EXPECT_EQ(s.packageReady.load(), 0);  // readiness is never persisted
}

TEST(Settings, SaveWritesTheKernelKeyAsChoseKernelAndKeepsOtherContent) {
  testing::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini",
                             "; station settings\r\n[checkinfo]\r\nchosekernel=0\r\n[Other]\r\nkeep=me\r\n"));
  DownloadSelection s;
  LoadSettings(dir.path(), s);
  s.kernelSelected = 1;
  s.extendNames[0] = "预装应用";
  s.extendCodes[0] = 7;
  s.resourcesFolder = "/data/res";
  ASSERT_TRUE(SaveSettings(dir.path(), s));
  std::string text = *ReadWholeFile(dir / "downtoolcfg.ini");
  EXPECT_NE(text.find("; station settings\r\n"), std::string::npos);
  EXPECT_NE(text.find("choseKernel=1\r\n"), std::string::npos);
  EXPECT_EQ(text.find("chosekernel"), std::string::npos);
  EXPECT_NE(text.find("[Other]\r\nkeep=me\r\n"), std::string::npos);
  EXPECT_LT(text.find("filename1="), text.find("filecode1="));
  EXPECT_LT(text.find("filecode1="), text.find("filename2="));

  DownloadSelection back;
  LoadSettings(dir.path(), back);
  EXPECT_EQ(back.kernelSelected, 1);
  EXPECT_EQ(back.extendNames[0], "预装应用");
  EXPECT_EQ(back.extendCodes[0], 7);
  EXPECT_EQ(back.resourcesFolder, "/data/res");
  EXPECT_EQ(back.currentLang, 2052);
}

TEST(Settings, TheModelListStopsAtTheFirstGap) {
  testing::TempDir dir;
  ASSERT_TRUE(WriteWholeFile(dir / "Prtcfg.ini", "[ProjectType]\nProject0=T745\nProject1=T746\nProject3=T748\n"));
  EXPECT_EQ(LoadModelList(dir.path()), (std::vector<std::string>{"T745", "T746"}));
}

TEST(Settings, ASnapshotCopiesEverythingIncludingReadiness) {
  DownloadSelection s;
  s.packagePath = "/p.QFM";
  s.packageReady = 1;
  s.gpsJob = static_cast<int>(JobState::Failed);
  DownloadSelection copy = s;
  s.packagePath = "changed";
  EXPECT_EQ(copy.packagePath, "/p.QFM");
  EXPECT_EQ(copy.packageReady.load(), 1);
  EXPECT_EQ(copy.gpsJob.load(), 3);
}

}  // namespace
}  // namespace flashery
