#include <gtest/gtest.h>

#include <thread>

#include "config/settings.h"
#include "filesets/folder_ops.h"
#include "filesets/gps_scan.h"
#include "filesets/resources_scan.h"
#include "filesets/tests/scan_fixture.h"
#include "text/text_ids.h"

namespace flashery {
namespace {

using testing::Crlf;
using testing::Gbk;
using testing::MakeGpsSet;
using testing::MakeResourcesSet;
using testing::PutFile;
using testing::PutFolder;
using testing::ScanBench;
using Kind = RecordingScanReporter::Kind;

// A root whose GBK length is `bytes` while its UTF-8 length is far more.
std::string RootOfGbkLength(const std::string& base, size_t bytes) {
  std::string root = base + "/";
  size_t have = root.size();
  while (have + 2 <= bytes - 10) {
    root += "中";
    have += 2;
  }
  root.append(bytes - have, 'x');
  return root;
}

TEST(ResourcesScan, AcceptsTheShippedSetAndHandsBackItsResult) {
  ScanBench b;
  MakeResourcesSet(b.root() + "/内置资源");
  PutFile(b.root(), "内置资源/图片收藏/Thumbs.db", "cache");
  SetScanResult r = ResourcesScanJob(b.Context());
  ASSERT_TRUE(r.ok) << r.message.textId;
  EXPECT_EQ(r.folder, b.root() + "/内置资源");
  // a.jpg 3 + m.avi 9 + ring.mp3 1 + the reference list; the cache is gone.
  EXPECT_EQ(r.folderSize, 13u + FileSize(b.root() + "/内置资源/resfile_pc.txt").value());
  EXPECT_FALSE(PathExists(b.root() + "/内置资源/图片收藏/Thumbs.db"));
  EXPECT_FALSE(PathExists(b.root() + "/内置资源/resfile_cur.txt"));
  auto events = b.reporter.events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, Kind::Started);
  EXPECT_EQ(events[1].kind, Kind::Ended);
  EXPECT_TRUE(events[1].ok);

  DownloadSelection s;
  ApplyResourcesScan(r, s);
  EXPECT_EQ(s.resourcesReady.load(), 1);
  EXPECT_EQ(s.resourcesJob.load(), static_cast<int>(JobState::Succeeded));
  EXPECT_EQ(s.resourcesFolder, r.folder);
  EXPECT_EQ(s.resourcesFolderSize, r.folderSize);
}

TEST(ResourcesScan, ReferenceListThatMentionsThumbsKeepsThem) {
  ScanBench b;
  std::string set = b.root() + "/内置资源";
  MakeResourcesSet(set);
  PutFile(set, "图片收藏/Thumbs.db", "A");
  PutFile(set, "resfile_pc.txt", Crlf(Gbk("FILE: 图片收藏\n"
                                          "图片收藏\\a.jpg;3byte;0x7c749dd6\n"
                                          "图片收藏\\Thumbs.db;1byte;0x000058e5\n")));
  EXPECT_TRUE(ResourcesScanJob(b.Context()).ok);
  EXPECT_TRUE(PathExists(set + "/图片收藏/Thumbs.db"));
  // Without the cache the set no longer matches its list.
  ::unlink((set + "/图片收藏/Thumbs.db").c_str());
  EXPECT_EQ(ResourcesScanJob(b.Context()).message.textId, kTextResourcesMismatch);
}

TEST(ResourcesScan, EachFailureHasItsText) {
  struct Case {
    const char* what;
    void (*damage)(const std::string& set);
    int textId;
    std::string detail;
  } cases[] = {
      {"no reference list", [](const std::string& s) { ::unlink((s + "/resfile_pc.txt").c_str()); },
       kTextResourcesListMissing, ""},
      {"no 我的影片", [](const std::string& s) { RemoveTree(s + "/我的影片"); }, kTextResourcesIncomplete,
       " <我的影片>"},
      {"two folders missing",
       [](const std::string& s) {
         RemoveTree(s + "/我的影片");
         RemoveTree(s + "/我的下载");
       },
       kTextResourcesIncomplete, " <我的下载> <我的影片>"},
      {"a file changed", [](const std::string& s) { WriteWholeFile(s + "/我的影片/m.avi", "123456780"); },
       kTextResourcesMismatch, ""},
  };
  for (const auto& c : cases) {
    ScanBench b;
    std::string set = b.root() + "/内置资源";
    MakeResourcesSet(set);
    c.damage(set);
    SetScanResult r = ResourcesScanJob(b.Context());
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.message, (ScanText{c.textId, c.detail})) << c.what;
    EXPECT_EQ(b.reporter.statuses(ScanSet::Resources), std::vector<ScanText>{r.message}) << c.what;
    EXPECT_FALSE(PathExists(set + "/resfile_cur.txt")) << c.what;
  }
  ScanBench none;
  EXPECT_EQ(ResourcesScanJob(none.Context()).message,
            (ScanText{kTextResourcesFolderMissing, none.root() + "/内置资源"}));
}

TEST(SetScans, FolderPathLimitCountsSystemCodePageBytes) {
  ScanBench b;
  // "/内置资源" is 9 GBK bytes, "/GPS" 4.
  ScanContext ctx = b.Context();
  ctx.resourceFolder = RootOfGbkLength(b.dir.path(), 142);
  EXPECT_EQ(ResourcesScanJob(ctx).message.textId, kTextResourcesPathTooLong);
  ctx.resourceFolder = RootOfGbkLength(b.dir.path(), 141);
  EXPECT_EQ(ResourcesScanJob(ctx).message.textId, kTextResourcesFolderMissing);
  ctx.resourceFolder = RootOfGbkLength(b.dir.path(), 147);
  EXPECT_EQ(GpsScanJob(ctx).message.textId, kTextGpsPathTooLong);
  ctx.resourceFolder = RootOfGbkLength(b.dir.path(), 146);
  EXPECT_EQ(GpsScanJob(ctx).message.textId, kTextGpsFolderMissing);
}

TEST(GpsScan, AcceptsTheShippedSetWhateverCaseTheDiskUses) {
  for (auto names : {std::pair<const char*, const char*>{"GPS", "QUILMAP"}, {"gps", "quilmap"}}) {
    ScanBench b;
    MakeGpsSet(b.root(), names.first, names.second);
    SetScanResult r = GpsScanJob(b.Context());
    ASSERT_TRUE(r.ok) << names.first << " " << r.message.textId;
    EXPECT_EQ(r.folder, b.root() + "/" + names.first);
    EXPECT_EQ(r.folderSize, FolderSize(b.root() + "/" + names.first));
    EXPECT_TRUE(b.prompter.records().empty());
    EXPECT_FALSE(PathExists(b.root() + "/" + names.first + "/" + names.second + "/quilfile_cur.txt"));
    DownloadSelection s;
    ApplyGpsScan(r, s);
    EXPECT_EQ(s.gpsReady.load(), 1);
    EXPECT_EQ(s.gpsFolder, r.folder);
  }
}

TEST(GpsScan, MissingOptionalPartsAreAskedAbout) {
  {
    ScanBench b;
    MakeGpsSet(b.root());
    RemoveTree(b.root() + "/GPS/udisk_bak");
    EXPECT_TRUE(GpsScanJob(b.Context()).ok);  // the prompter answers OK
    auto asked = b.prompter.records();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, "Missing: <udisk_bak>");
    EXPECT_EQ(asked[0].buttons, PromptButtons::OkCancel);
  }
  {
    ScanBench b;
    MakeGpsSet(b.root());
    RemoveTree(b.root() + "/GPS/udisk_bak");
    RemoveTree(b.root() + "/GPS/cdrom");
    b.prompter.QueueAnswer(kAnswerCancel);
    SetScanResult r = GpsScanJob(b.Context());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, (ScanText{kTextGpsIncomplete, " <cdrom> <udisk_bak>"}));
  }
  {
    // The operator accepts the missing cdrom, but the backup that is there
    // is damaged: it is still checked and refused.
    ScanBench b;
    MakeGpsSet(b.root());
    RemoveTree(b.root() + "/GPS/cdrom");
    WriteWholeFile(b.root() + "/GPS/udisk_bak/我的铃声/ring.mp3", "B");
    SetScanResult r = GpsScanJob(b.Context());
    EXPECT_EQ(b.prompter.records().size(), 1u);
    EXPECT_EQ(r.message.textId, kTextResourcesMismatch);
    EXPECT_FALSE(PathExists(b.root() + "/GPS/udisk_bak/resfile_cur.txt"));
  }
}

TEST(GpsScan, EachFailureHasItsText) {
  struct Case {
    const char* what;
    void (*damage)(const std::string& gps);
    ScanText text;
  } cases[] = {
      {"no list", [](const std::string& g) { ::unlink((g + "/QUILMAP/quilfile_pc.txt").c_str()); },
       {kTextGpsListMissing, ""}},
      {"no bin", [](const std::string& g) { RemoveTree(g + "/QUILMAP/bin"); }, {kTextGpsIncomplete, " <bin>"}},
      {"map changed", [](const std::string& g) { WriteWholeFile(g + "/QUILMAP/navidat/n.dat", "B"); },
       {kTextGpsMismatch, ""}},
      {"backup incomplete", [](const std::string& g) { RemoveTree(g + "/udisk_bak/我的音乐"); },
       {kTextResourcesIncomplete, " <我的音乐>"}},
  };
  for (const auto& c : cases) {
    ScanBench b;
    MakeGpsSet(b.root());
    c.damage(b.root() + "/GPS");
    SetScanResult r = GpsScanJob(b.Context());
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_EQ(r.message, c.text) << c.what;
    auto events = b.reporter.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, Kind::Ended);
    EXPECT_FALSE(events.back().ok);
  }
  ScanBench none;
  EXPECT_EQ(GpsScanJob(none.Context()).message.textId, kTextGpsFolderMissing);
}

TEST(SetScans, RunAtTheSameTimeOnTheirOwnThreads) {
  ScanBench b;
  MakeResourcesSet(b.root() + "/内置资源");
  MakeGpsSet(b.root());
  ScanContext ctx = b.Context();
  SetScanResult resources, gps;
  std::thread t1([&] { resources = ResourcesScanJob(ctx); });
  std::thread t2([&] { gps = GpsScanJob(ctx); });
  t1.join();
  t2.join();
  EXPECT_TRUE(resources.ok);
  EXPECT_TRUE(gps.ok);
  DownloadSelection s;
  ApplyResourcesScan(resources, s);
  ApplyGpsScan(gps, s);
  EXPECT_EQ(s.resourcesReady.load() + s.gpsReady.load(), 2);
  EXPECT_EQ(b.reporter.events().size(), 4u);
}

}  // namespace
}  // namespace flashery
