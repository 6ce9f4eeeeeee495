// Staging of application archives from real packages: archives made by
// Info-ZIP and make_zip.py are written into Extend sections with the
// package writer, then staged into a program folder as the station does.
#include <cerrno>
#include <fcntl.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>

#include "package/package_writer.h"
#include "package/qfm_package.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/status.h"
#include "text/prompter.h"
#include "text/text_table.h"
#include "zip/crc32.h"
#include "zip/staging.h"
#include "zip/staging_messages.h"
#include "zip/tests/zip_test_support.h"

namespace flashery {
namespace {

using test::TempDir;

class StagingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = t / "app";
    MakeDirectories(app);
    test::MakeSampleTree(t / "src");
  }

  // A package whose Extend sections are the given (name, file) pairs, after
  // one ordinary image.
  std::string Package(const std::vector<std::pair<std::string, std::string>>& extends) {
    WriteBytes(t / "nk.img", std::string(3000, 'k'));
    PackageContents contents{"T745", "V1.0", {{QfmSectionKey::NK, t / "nk.img", "nk.img"}}};
    for (const auto& [name, file] : extends) contents.inputs.push_back({QfmSectionKey::Extend1, file, name});
    std::string path = t / ("p" + std::to_string(++packages) + ".QFM");
    PackageWriteResult r = WritePackage(path, contents);
    EXPECT_TRUE(r.ok) << r.error;
    return path;
  }

  std::string InfoZip(const std::string& options) {
    std::string zip = t / ("z" + std::to_string(++zips) + ".zip");
    EXPECT_TRUE(test::InfoZip(t / "src", "quillon", zip, options));
    return zip;
  }

  int Stage(const std::string& pkg, StagingReport* report = nullptr) {
    for (int k = 1; k <= 5; ++k) package.extend(k).present = 1;
    StagingContext context{texts, prompter, counter};
    return StageAppPackages(package, pkg, app, context, report);
  }

  std::vector<std::string> Prompts() const {
    std::vector<std::string> out;
    for (const auto& r : prompter.records()) out.push_back(r.text);
    return out;
  }

  std::vector<std::string> PromptsSince(size_t before) const {
    std::vector<std::string> all = Prompts();
    return {all.begin() + static_cast<long>(std::min(before, all.size())), all.end()};
  }

  static void WriteBytes(const std::string& path, const std::string& bytes) { test::WriteBytes(path, bytes); }

  TempDir t;
  std::string app;
  TextTable texts;
  RecordingPrompter prompter;
  std::atomic<unsigned> counter{0};
  QfmPackage package;
  int packages = 0, zips = 0;
};

TEST_F(StagingTest, UnpacksInfoZipArchivesWithAndWithoutFolderEntries) {
  for (std::string options : {"-6", "-9 -D"}) {
    SCOPED_TRACE(options);
    RemoveTree(app + "/quillon");
    StagingReport report;
    ASSERT_EQ(Stage(Package({{"apps.zip", InfoZip(options)}}), &report), 1) << ::testing::PrintToString(Prompts());
    EXPECT_TRUE(Prompts().empty());
    EXPECT_EQ(package.extend(1).present, 0);  // no longer an image to write
    ASSERT_EQ(report.archives.size(), 1u);
    EXPECT_EQ(report.archives[0].firstName, "quillon");
    EXPECT_EQ(report.archives[0].unpackedBytes, report.archives[0].region.totalBytes);
    std::vector<std::string> diff = test::TreeDifferences(t / "src/quillon", app + "/quillon");
    if (options.find("-D") != std::string::npos) {
      ASSERT_EQ(diff.size(), 1u);  // only the empty folder cannot travel
      EXPECT_EQ(diff[0], "only in first: emptyfolder/");
    } else {
      EXPECT_TRUE(diff.empty()) << diff.front();
    }
  }
}

TEST_F(StagingTest, SlotsWithoutZipNamesAreLeftAloneAndPresentBytesAreNotConsulted) {
  WriteBytes(t / "modem.img", std::string(100, 'm'));
  ASSERT_EQ(Stage(Package({{"modem.img", t / "modem.img"}, {"ZIP.IMG", t / "modem.img"}})), 1);
  EXPECT_EQ(package.extend(1).present, 1);
  EXPECT_EQ(package.extend(2).present, 1);  // "ZIP" is not "zip"
  EXPECT_TRUE(Prompts().empty());
  EXPECT_FALSE(PathExists(app + "/quillon"));

  // An archive slot whose present byte is 0 is still unpacked.
  std::string pkg = Package({{"modem.img", t / "modem.img"}, {"apps.zip", InfoZip("-6")}});
  std::string bytes = test::ReadBytes(pkg);
  bytes[0x088 + 1] = 0;
  WriteBytes(pkg, bytes);
  ASSERT_EQ(Stage(pkg), 1);
  EXPECT_EQ(package.extend(2).present, 0);
  EXPECT_EQ(package.extend(1).present, 1);
  EXPECT_TRUE(test::TreeDifferences(t / "src/quillon", app + "/quillon").empty());
}

TEST_F(StagingTest, ArchiveCommentsUpToTwentyEightBytesAndTheSizeScan) {
  std::string ok = t / "ok.zip", longer = t / "long.zip";
  ASSERT_TRUE(test::MakeZip(R"({"comment": "twenty-eight bytes of commnt", "entries": [{"name": "quillon/a.txt", "data": "a"}]})",
                            ok, t.path()));
  ASSERT_TRUE(test::MakeZip(R"({"comment": "twenty-nine bytes of comment!", "entries": [{"name": "quillon/a.txt", "data": "a"}]})",
                            longer, t.path()));
  EXPECT_EQ(Stage(Package({{"apps.zip", ok}})), 1);
  EXPECT_EQ(Stage(Package({{"apps.zip", longer}})), 0);
  EXPECT_EQ(Prompts(), std::vector<std::string>{staging_text::kSizeScanFailed});
  EXPECT_EQ(package.extend(1).present, 0);  // cleared before the scan failed

  // Not an archive at all, and an archive region too short for an end record.
  WriteBytes(t / "junk.zip", std::string(4000, 'j'));
  WriteBytes(t / "tiny.zip", "PK\x05\x06");
  EXPECT_EQ(Stage(Package({{"apps.zip", t / "junk.zip"}})), 0);
  EXPECT_EQ(Stage(Package({{"apps.zip", t / "tiny.zip"}})), 0);
  EXPECT_EQ(Prompts().size(), 3u);
}

// A program running from `path` (a copy of cat reading a pipe): its file
// cannot be opened for writing (ETXTBSY) but can be renamed, as a file in
// use on the original platform.
class BusyFile {
 public:
  explicit BusyFile(const std::string& path) {
    test::WriteBytes(path, test::ReadBytes("/bin/cat"));
    ::chmod(path.c_str(), 0755);
    int in[2], started[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(started, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], 0);
      ::execl(path.c_str(), "cat", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(started[1]);
    char c;
    while (::read(started[0], &c, 1) < 0 && errno == EINTR) {
    }  // end of file: the exec closed its copy
    ::close(started[0]);
    input_ = in[1];
    int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    busy_ = fd < 0 && errno == ETXTBSY;
    if (fd >= 0) ::close(fd);
  }
  ~BusyFile() {
    if (input_ >= 0) ::close(input_);  // cat ends
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  bool busy() const { return busy_; }

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  bool busy_ = false;
};

TEST_F(StagingTest, OnlyARegularFileInTheWayIsMovedAsideAndNothingIsLost) {
  std::string pkg = Package({{"apps.zip", InfoZip("-6")}});
  const std::string target = app + "/quillon/presetapp/readme.txt";
  const std::string backup = app + "/Upgrade_Backup";
  WriteBytes(t / "outside/file", "keep");
  MakeDirectories(backup);
  // Folders, links and pipes stay where they are; the archive fails.
  struct Case {
    const char* what;
    std::function<void()> make;
    mode_t type;
  };
  const Case cases[] = {
      {"folder", [&] { MakeDirectories(target + "/inner"); }, S_IFDIR},
      {"link", [&] { ASSERT_EQ(::symlink((t / "outside/file").c_str(), target.c_str()), 0); }, S_IFLNK},
      {"pipe", [&] { ASSERT_EQ(::mkfifo(target.c_str(), 0644), 0); }, S_IFIFO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(app + "/quillon");
    MakeDirectories(DirName(target));
    c.make();
    size_t before = Prompts().size();
    EXPECT_EQ(Stage(pkg), 0);
    std::vector<std::string> shown = PromptsSince(before);
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[0], FormatString(staging_text::kNotAFileToMove, target.c_str()));
    EXPECT_EQ(shown[1], staging_text::kArchiveFailed);
    struct stat st {};
    ASSERT_EQ(::lstat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IFMT, c.type);
    EXPECT_TRUE(ListFolder(backup).empty());
  }
  EXPECT_EQ(test::ReadBytes(t / "outside/file"), "keep");

  // A file in use is moved aside, never into a linked Upgrade_Backup and
  // never over an earlier backup.
  RemoveTree(app + "/quillon");
  MakeDirectories(DirName(target));
  BusyFile busy(target);
  if (!busy.busy()) GTEST_SKIP() << "this kernel lets a running program's file be written";
  const std::string program = test::ReadBytes(target);
  RemoveTree(backup);
  MakeDirectories(t / "elsewhere");
  ASSERT_EQ(::symlink((t / "elsewhere").c_str(), backup.c_str()), 0);
  size_t before = Prompts().size();
  EXPECT_EQ(Stage(pkg), 0);
  EXPECT_EQ(PromptsSince(before).at(0), FormatString(staging_text::kBackupIsLink, backup.c_str()));
  EXPECT_TRUE(ListFolder(t / "elsewhere").empty());
  ::unlink(backup.c_str());
  EXPECT_EQ(Stage(pkg), 0);  // no Upgrade_Backup: nothing to move into
  EXPECT_EQ(test::ReadBytes(target), program);
  EXPECT_EQ(counter.load(), 0u);

  WriteBytes(backup + "/1.dy", "an earlier backup");
  StagingReport report;
  EXPECT_EQ(Stage(pkg, &report), 1) << ::testing::PrintToString(Prompts());
  EXPECT_EQ(test::ReadBytes(backup + "/1.dy"), "an earlier backup");
  EXPECT_EQ(test::ReadBytes(backup + "/2.dy"), program);
  EXPECT_TRUE(test::TreeDifferences(t / "src/quillon", app + "/quillon").empty());
}

TEST_F(StagingTest, ArchivesNeverWriteTheStationsOwnFiles) {
  const char* names[] = {"downtoolcfg.ini", "DownToolCfg.INI", "Prtcfg.ini/x.txt", "English.lng", "sub.LNG/x",
                         "LOG/evil.txt",    "upgrade_backup/1.dy", "flashery-pack", "Flashery", "Quillon/a.txt",
                         "quillon"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    std::string zip = t / "station.zip";
    ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "brand/a.txt", "data": "a"}, {"name": ")" +
                                  std::string(name) + R"(", "data": "evil"}]})",
                              zip, t.path()));
    size_t before = Prompts().size();
    EXPECT_EQ(Stage(Package({{"apps.zip", zip}})), 0);
    std::string first = std::string(name).substr(0, std::string(name).find('/'));
    EXPECT_EQ(PromptsSince(before),
              (std::vector<std::string>{FormatString(staging_text::kStationFile, first.c_str()),
                                        staging_text::kArchiveFailed}));
    EXPECT_TRUE(ListFolder(app).empty());  // refused before anything was written
  }
}

TEST_F(StagingTest, RefusedArchivesSayWhyAndWriteNothing) {
  struct Case {
    std::string archive;
    std::vector<std::string> shown;
  };
  const std::string a = R"({"name": "quillon/a.txt", "data": "a"})";
  const Case cases[] = {
      {R"({"entries": [)" + a + R"(, {"name": "quillon/b.txt", "data": "b", "local_flags_xor": 2048}]})",
       {FormatString(staging_text::kLocalHeaderMismatch, "quillon/b.txt"), staging_text::kArchiveFailed}},
      {R"({"entries": [)" + a + R"(, {"name": "quillon/o.bin", "contains_next": true}, {"name": "quillon/i.txt", "data": "i"}]})",
       {FormatString(staging_text::kEntriesOverlap, "quillon/i.txt"), staging_text::kArchiveFailed}},
      {R"({"entries": [)" + a + R"(, {"name": "quillon/a.txt/b", "data": "b"}]})",
       {FormatString(staging_text::kNameClash, "quillon\\a.txt"), staging_text::kArchiveFailed}},
      {R"({"entries": [)" + a + R"(, {"name": "quillon/bell\u0007", "data": "b"}]})",
       {FormatString(staging_text::kBadEntryName, "quillon/bell\\x07"), staging_text::kArchiveFailed}},
      {R"({"entries": [)" + a + R"(, {"name": "quillon/emoji😀.txt", "utf8_flag": true, "data": "b"}]})",
       {FormatString(staging_text::kBadEntryName, "quillon/emoji😀.txt"), staging_text::kArchiveFailed}},
      {R"({"entries": [)" + a + R"(, {"name_hex": "7175696c6c6f6e2fffff2e747874", "data": "b"}]})",
       {FormatString(staging_text::kBadEntryName, "quillon/\\xFF\\xFF.txt"), staging_text::kArchiveFailed}},
      {R"({"end_shadow": true, "entries": [)" + a + R"(, {"name": "quillon/b.txt", "data": "b"}]})",
       {staging_text::kEndRecordsDisagree, staging_text::kSizeScanFailed}},
      {R"({"central_gap": 3, "entries": [)" + a + R"(, {"name": "quillon/b.txt", "data": "b"}]})",
       {staging_text::kSizeScanFailed}},
  };
  std::string good = t / "good.zip", bad = t / "bad.zip";
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "quillon/g.txt", "data": "g"}]})", good, t.path()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.archive);
    ASSERT_TRUE(test::MakeZip(c.archive, bad, t.path()));
    size_t before = Prompts().size();
    // A good archive ahead of the refused one is not unpacked either.
    EXPECT_EQ(Stage(Package({{"apps.zip", good}, {"more.zip", bad}})), 0);
    EXPECT_EQ(PromptsSince(before), c.shown);
    EXPECT_TRUE(ListFolder(app).empty());
  }
}

TEST_F(StagingTest, DamagedArchivesAndForeignFilesAreReportedWithBothSizes) {
  std::string zip = InfoZip("-0");
  std::string bytes = test::ReadBytes(zip);
  size_t at = bytes.find("[brand]");  // stored, so its bytes are in the clear
  ASSERT_NE(at, std::string::npos);
  bytes[at] = '{';
  WriteBytes(zip, bytes);
  EXPECT_EQ(Stage(Package({{"apps.zip", zip}})), 0);
  ASSERT_GE(Prompts().size(), 1u);
  EXPECT_EQ(Prompts()[0], staging_text::kArchiveFailed);
  EXPECT_FALSE(PathExists(app + "/quillon/config.ini"));  // the damaged file is not left behind

  RemoveTree(app + "/quillon");
  std::string good = Package({{"apps.zip", InfoZip("-6")}});
  StagingReport first;
  ASSERT_EQ(Stage(good, &first), 1);
  WriteBytes(app + "/quillon/stray.bin", std::string(10, 's'));
  StagingReport report;
  EXPECT_EQ(Stage(good, &report), 0);
  long total = static_cast<long>(report.archives.at(0).region.totalBytes);
  EXPECT_EQ(Prompts().back(), FormatString(staging_text::kSizeMismatch, total, total + 10));
}

TEST_F(StagingTest, NeverWritesThroughALinkOutOfTheProgramFolder) {
  MakeDirectories(t / "outside");
  ASSERT_EQ(::symlink((t / "outside").c_str(), (app + "/quillon").c_str()), 0);
  EXPECT_EQ(Stage(Package({{"apps.zip", InfoZip("-6")}})), 0);
  EXPECT_TRUE(ListFolder(t / "outside").empty());
  ASSERT_GE(Prompts().size(), 2u);
  EXPECT_EQ(Prompts()[0], FormatString(staging_text::kCreateFolderFailed, ELOOP, (app + "/quillon").c_str()));
}

TEST_F(StagingTest, SeveralArchivesAreEachScannedAndChecked) {
  std::string second = t / "second.zip", other = t / "other.zip";
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "quillon/extra/x.txt", "data": "more apps"}]})", second, t.path()));
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name": "other/y.txt", "data": "other brand"}]})", other, t.path()));
  StagingReport report;
  ASSERT_EQ(Stage(Package({{"apps.zip", InfoZip("-6")}, {"more_zip", second}, {"b.zip", other}}), &report), 1)
      << ::testing::PrintToString(Prompts());
  ASSERT_EQ(report.archives.size(), 3u);
  EXPECT_EQ(test::ReadBytes(app + "/quillon/extra/x.txt"), "more apps");
  EXPECT_EQ(test::ReadBytes(app + "/other/y.txt"), "other brand");
  EXPECT_EQ(report.archives[1].unpackedBytes, report.archives[0].region.totalBytes + 9);
  for (int k = 1; k <= 3; ++k) EXPECT_EQ(package.extend(k).present, 0);
}

TEST_F(StagingTest, UnreadablePackagesShowTheStationsMessages) {
  EXPECT_EQ(Stage(t / "missing.QFM"), 0);
  EXPECT_EQ(Prompts().back(), FormatString(staging_text::kPackageOpenFailed, ENOENT));
  WriteBytes(t / "short.QFM", "QF\x01\x02 too short");
  EXPECT_EQ(Stage(t / "short.QFM"), 0);
  EXPECT_EQ(Prompts().back(), staging_text::kHeaderFailed);
}

TEST_F(StagingTest, UnflaggedNamesAreStagedInTheCodePageEvenWhenTheyLookLikeUtf8) {
  // quillon/系统.txt and quillon/系统设置.txt in GBK (the first is valid
  // UTF-8 too), and quillon/名字.txt flagged as UTF-8, side by side.
  std::string zip = t / "names.zip";
  ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name_hex": "7175696c6c6f6e2fcfb5cdb32e747874", "data": "a"},)"
                            R"({"name_hex": "7175696c6c6f6e2fcfb5cdb3c9e8d6c32e747874", "data": "b"},)"
                            R"({"name": "quillon/名字.txt", "utf8_flag": true, "data": "c"}]})",
                            zip, t.path()));
  ASSERT_EQ(Stage(Package({{"apps.zip", zip}})), 1) << ::testing::PrintToString(Prompts());
  EXPECT_EQ(test::ReadBytes(app + "/quillon/系统.txt"), "a");
  EXPECT_EQ(test::ReadBytes(app + "/quillon/系统设置.txt"), "b");
  EXPECT_EQ(test::ReadBytes(app + "/quillon/名字.txt"), "c");
  EXPECT_EQ(ListFolder(app + "/quillon").size(), 3u);

  // An Info-ZIP Unicode Path field declares the UTF-8 form of a name in the
  // code page; one whose CRC-32 does not match the stored name is stale.
  const std::string raw = "quillon/\xCF\xB5\xCD\xB3.txt", utf8 = "quillon/丁丁.txt";
  uint32_t crc = Crc32(reinterpret_cast<const uint8_t*>(raw.data()), raw.size());
  auto field = [&](uint32_t check) {
    std::string body = "\x01" + std::string(reinterpret_cast<const char*>(&check), 4) + utf8;
    return test::HexOf(std::string("\x75\x70", 2) + static_cast<char>(body.size()) + '\0' + body);
  };
  for (uint32_t check : {crc, crc ^ 1u}) {
    RemoveTree(app + "/quillon");
    std::string z = t / ("u" + std::to_string(check) + ".zip");
    ASSERT_TRUE(test::MakeZip(R"({"entries": [{"name_hex": ")" + test::HexOf(raw) + R"(", "local_extra_hex": ")" +
                                  field(check) + R"(", "data": "u"}]})",
                              z, t.path()));
    ASSERT_EQ(Stage(Package({{"apps.zip", z}})), 1) << ::testing::PrintToString(Prompts());
    EXPECT_EQ(test::ReadBytes(app + (check == crc ? "/quillon/丁丁.txt" : "/quillon/系统.txt")), "u");
  }
}

}  // namespace
}  // namespace flashery
