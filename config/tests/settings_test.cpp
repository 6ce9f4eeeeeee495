#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>

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


TEST(Settings, AFileThatCannotBeReadWholeIsReportedAndNeverWrittenOver) {
  testing::TempDir dir;
  const std::string oversized = "[FilePath]\r\nQFMfile=/res/a.QFM\r\n" + std::string(kMaxProfileBytes, 'x');
  const std::string binaryTail = "[FilePath]\r\nQFMfile=/res/a.QFM\r\n" + std::string("\x7F" "ELF\0\0\x01", 7);
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> make;
    const char* why;
  } cases[] = {
      {"oversized", [&](const std::string& p) { return WriteWholeFile(p, oversized); }, "larger than 1 MiB"},
      {"binary tail", [&](const std::string& p) { return WriteWholeFile(p, binaryTail); }, "not a text file"},
      {"pipe", [](const std::string& p) { return ::mkfifo(p.c_str(), 0644) == 0; }, "named pipe"},
      {"folder", [](const std::string& p) { return MakeDirectories(p); }, "folder"},
      {"device", [](const std::string& p) { return ::symlink("/dev/null", p.c_str()) == 0; }, "device"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char* name : {"downtoolcfg.ini", "Prtcfg.ini"}) RemoveTree(dir / name);
    ASSERT_TRUE(c.make(dir / "downtoolcfg.ini"));
    ASSERT_TRUE(c.make(dir / "Prtcfg.ini"));
    DownloadSelection s;
    std::string problem;
    EXPECT_FALSE(LoadSettings(dir.path(), s, &problem));
    EXPECT_EQ(problem.rfind(dir / "downtoolcfg.ini: ", 0), 0u) << problem;
    EXPECT_NE(problem.find(c.why), std::string::npos) << problem;
    EXPECT_TRUE(s.packagePath.empty());
    std::vector<std::string> models{"stale"};
    problem.clear();
    EXPECT_FALSE(LoadModelList(dir.path(), models, &problem));
    EXPECT_NE(problem.find(dir / "Prtcfg.ini"), std::string::npos) << problem;
    EXPECT_TRUE(models.empty());

    s.packagePath = "/other.QFM";
    EXPECT_FALSE(SaveSettings(dir.path(), s, &problem));
    EXPECT_NE(problem.find("left as it is"), std::string::npos) << problem;
  }
  // The regular ones survive byte for byte.
  for (const auto* kept : {&oversized, &binaryTail}) {
    RemoveTree(dir / "downtoolcfg.ini");
    ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini", *kept));
    SaveSettings(dir.path(), DownloadSelection{});
    EXPECT_TRUE(*ReadWholeFile(dir / "downtoolcfg.ini") == *kept);
  }
}

TEST(Settings, ASymbolicLinkIsWrittenThroughAndStaysALink) {
  testing::TempDir dir;
  ASSERT_TRUE(MakeDirectories(dir / "shared"));
  ASSERT_TRUE(WriteWholeFile(dir / "shared/station.ini", "[FilePath]\r\nQFMfile=/a.QFM\r\n"));
  ASSERT_EQ(::symlink("shared/station.ini", (dir / "downtoolcfg.ini").c_str()), 0);
  DownloadSelection s;
  ASSERT_TRUE(LoadSettings(dir.path(), s));
  EXPECT_EQ(s.packagePath, "/a.QFM");
  s.packagePath = "/b.QFM";
  std::string problem;
  ASSERT_TRUE(SaveSettings(dir.path(), s, &problem)) << problem;
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "downtoolcfg.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(ReadWholeFile(dir / "shared/station.ini")->find("QFMfile=/b.QFM\r\n"), std::string::npos);

  // A temporary a cut-short write left beside the target goes at the next start.
  ASSERT_TRUE(WriteWholeFile(dir / "shared/.station.ini.tmp-Ab12Cd", "half"));
  EXPECT_EQ(RemoveSettingsLeftovers(dir.path()), 1);
  EXPECT_FALSE(PathExists(dir / "shared/.station.ini.tmp-Ab12Cd"));
}

TEST(Settings, AreReadAndWrittenBackInTheEncodingTheFileDeclares) {
  // 系统 in GBK (CF B5 CD B3) is also valid UTF-8 ("ϵͳ"): only a byte order
  // mark makes a file UTF-8, otherwise codePage (read from the file's ASCII
  // bytes) names its code page.
  struct Case {
    const char* what;
    std::string head;     // bytes before the name lines
    std::string encoded;  // the name as the file holds it
    std::string name;     // the name as read
  } cases[] = {
      {"GBK by default", "", "\xCF\xB5\xCD\xB3", "系统"},
      {"UTF-8 by its mark, whatever codePage says", "\xEF\xBB\xBF[Station]\r\ncodePage=950\r\n", "系统", "系统"},
      {"Big5 by codePage", "[Station]\r\ncodePage=950\r\n", "\xA8\x74\xB2\xCE", "系統"},
      {"cp1252 by codePage", "[station]\r\nCODEPAGE = 1252\r\n", "caf\xE9", "café"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    const std::string file = c.head + "; " + c.encoded + "\r\n[ExdFile]\r\nfilename1=" + c.encoded + "\r\n";
    ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini", file));
    // The model list is in the same code page (or marked UTF-8 too).
    const std::string mark = HasUtf8Bom(file) ? std::string(kUtf8Bom) : "";
    ASSERT_TRUE(WriteWholeFile(dir / "Prtcfg.ini", mark + "[ProjectType]\r\nProject0=" + c.encoded + "\r\n"));
    DownloadSelection s;
    std::string problem;
    ASSERT_TRUE(LoadSettings(dir.path(), s, &problem)) << problem;
    EXPECT_EQ(s.extendNames[0], c.name);
    EXPECT_EQ(LoadModelList(dir.path()), std::vector<std::string>{c.name});
    // Written back in the same encoding: unchanged lines as they were, the
    // rewritten name line to the same bytes, new lines after them.
    s.extendNames[1] = c.name;
    ASSERT_TRUE(SaveSettings(dir.path(), s, &problem)) << problem;
    const std::string saved = *ReadWholeFile(dir / "downtoolcfg.ini");
    EXPECT_EQ(saved.substr(0, file.size()), file);
    EXPECT_NE(saved.find("filename2=" + c.encoded + "\r\n"), std::string::npos);
    DownloadSelection back;
    ASSERT_TRUE(LoadSettings(dir.path(), back));
    EXPECT_EQ(back.extendNames[1], c.name);
  }
  // A new file is written in the code page.
  testing::TempDir dir;
  DownloadSelection s;
  s.extendNames[0] = "系统";
  ASSERT_TRUE(SaveSettings(dir.path(), s));
  EXPECT_NE(ReadWholeFile(dir / "downtoolcfg.ini")->find("filename1=\xCF\xB5\xCD\xB3\r\n"), std::string::npos);
}

TEST(Settings, AFileNotValidInItsEncodingIsRefusedWholeNamingIt) {
  struct Case {
    const char* what;
    std::string file;
    const char* why;
  } cases[] = {
      // As this station once wrote it: UTF-8 without a mark.
      {"UTF-8 without a mark", "[Project]\r\nphontype=T745\r\n[ExdFile]\r\nfilename1=系统设\r\n",
       "line 4 is not valid GBK, the code page it is read in (a file in UTF-8 must begin with a byte order mark)"},
      // The mark declares UTF-8, not a code page.
      {"GBK under a mark", "\xEF\xBB\xBF[ExdFile]\nfilename1=\xCF\xB5\xCD\n", "line 2 is not valid UTF-8"},
      {"GBK declared as Big5", "[Station]\ncodePage=950\n[ExdFile]\nfilename1=\xCF\xB5\x81\x40\n",
       "line 4 is not valid BIG5"},
      // 0x81 0x5D is one GBK character: its second byte only looks like ']'.
      {"a declaration that reads otherwise once decoded", "[Station]\n[\x81]\ncodePage=950\n",
       "code page reads as GBK in its ASCII bytes but otherwise once decoded in it"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini", c.file));
    DownloadSelection s;
    std::string problem;
    EXPECT_FALSE(LoadSettings(dir.path(), s, &problem));
    EXPECT_EQ(problem.rfind(dir / "downtoolcfg.ini: its " + c.why, 0), 0u) << problem;
    EXPECT_TRUE(s.extendNames[0].empty());  // nothing half-read
    EXPECT_FALSE(SaveSettings(dir.path(), s, &problem));
    EXPECT_EQ(*ReadWholeFile(dir / "downtoolcfg.ini"), c.file);
  }
}

}  // namespace
}  // namespace flashery
