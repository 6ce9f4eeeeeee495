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
using testing::ScanBench;
using Kind = RecordingScanReporter::Kind;

TEST(SetScans, AcceptTheShippedSetsOnTheirOwnThreadsAndHandBackTheirResults) {
  for (auto names : {std::pair<const char*, const char*>{"GPS", "QUILMAP"}, {"gps", "quilmap"}}) {
    SCOPED_TRACE(names.first);
    ScanBench b;
    std::string res = b.root() + "/内置资源", gps = b.root() + "/" + names.first;
    MakeResourcesSet(res);
    PutFile(res, "图片收藏/Thumbs.db", "cache");
    MakeGpsSet(b.root(), names.first, names.second);
    ScanContext ctx = b.Context();
    SetScanResult resources, gpsResult;
    std::thread t1([&] { resources = ResourcesScanJob(ctx); });
    std::thread t2([&] { gpsResult = GpsScanJob(ctx); });
    t1.join();
    t2.join();
    ASSERT_TRUE(resources.ok) << resources.message.textId;
    ASSERT_TRUE(gpsResult.ok) << gpsResult.message.textId;
    EXPECT_EQ(resources.folder, res);
    // a.jpg 3 + m.avi 9 + ring.mp3 1 + the reference list; the cache is gone.
    EXPECT_EQ(resources.folderSize, 13u + FileSize(res + "/resfile_pc.txt").value());
    EXPECT_FALSE(PathExists(res + "/图片收藏/Thumbs.db"));
    EXPECT_EQ(gpsResult.folder, gps);
    EXPECT_EQ(gpsResult.folderSize, FolderSize(gps));
    EXPECT_TRUE(b.prompter.records().empty());
    for (const std::string& cur : {res + "/resfile_cur.txt", gps + "/" + names.second + "/quilfile_cur.txt"})
      EXPECT_FALSE(PathExists(cur)) << cur;
    auto events = b.reporter.events();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& e) { return e.kind == Kind::Ended && e.ok; }), 2);

    DownloadSelection s;
    ApplyResourcesScan(resources, s);
    ApplyGpsScan(gpsResult, s);
    EXPECT_EQ(s.resourcesReady.load() + s.gpsReady.load(), 2);
    EXPECT_EQ(s.resourcesJob.load(), static_cast<int>(JobState::Succeeded));
    EXPECT_EQ(s.resourcesFolder, resources.folder);
    EXPECT_EQ(s.resourcesFolderSize, resources.folderSize);
    EXPECT_EQ(s.gpsFolder, gpsResult.folder);
  }
}

// Each damage to a shipped set (below root/内置资源 or root/GPS) and what
// the check says; the GPS check asks about missing optional parts.
TEST(SetScans, EachFailureHasItsText) {
  using D = void (*)(const std::string& set);
  struct Case {
    const char* what;
    bool gps;
    D damage;
    int answer;
    ScanText text;  // textId -1: accepted
    size_t prompts;
  } cases[] = {
      {"no reference list", false, [](const std::string& s) { ::unlink((s + "/resfile_pc.txt").c_str()); },
       kAnswerOk, {kTextResourcesListMissing, ""}, 0},
      {"no 我的影片", false, [](const std::string& s) { RemoveTree(s + "/我的影片"); }, kAnswerOk,
       {kTextResourcesIncomplete, " <我的影片>"}, 0},
      {"two folders missing", false, [](const std::string& s) { RemoveTree(s + "/我的影片"); RemoveTree(s + "/我的下载"); },
       kAnswerOk, {kTextResourcesIncomplete, " <我的下载> <我的影片>"}, 0},
      {"a file changed", false, [](const std::string& s) { WriteWholeFile(s + "/我的影片/m.avi", "123456780"); },
       kAnswerOk, {kTextResourcesMismatch, ""}, 0},
      // A reference list that names the thumbnail cache keeps it, and
      // without it the set no longer matches.
      {"a cache the list names", false,
       [](const std::string& s) {
         PutFile(s, "图片收藏/Thumbs.db", "A");
         PutFile(s, "resfile_pc.txt", Crlf(Gbk("FILE: 图片收藏\n图片收藏\\a.jpg;3byte;0x7c749dd6\n"
                                               "图片收藏\\Thumbs.db;1byte;0x000058e5\n")));
       },
       kAnswerOk, {-1, ""}, 0},
      {"the cache the list names gone", false,
       [](const std::string& s) { PutFile(s, "resfile_pc.txt", Crlf(Gbk("图片收藏\\Thumbs.db;1byte;0x000058e5\n"))); },
       kAnswerOk, {kTextResourcesMismatch, ""}, 0},
      {"no GPS list", true, [](const std::string& g) { ::unlink((g + "/QUILMAP/quilfile_pc.txt").c_str()); },
       kAnswerOk, {kTextGpsListMissing, ""}, 0},
      {"no bin", true, [](const std::string& g) { RemoveTree(g + "/QUILMAP/bin"); }, kAnswerOk,
       {kTextGpsIncomplete, " <bin>"}, 0},
      {"map changed", true, [](const std::string& g) { WriteWholeFile(g + "/QUILMAP/navidat/n.dat", "B"); },
       kAnswerOk, {kTextGpsMismatch, ""}, 0},
      {"backup incomplete", true, [](const std::string& g) { RemoveTree(g + "/udisk_bak/我的音乐"); }, kAnswerOk,
       {kTextResourcesIncomplete, " <我的音乐>"}, 0},
      {"no backup, accepted", true, [](const std::string& g) { RemoveTree(g + "/udisk_bak"); }, kAnswerOk,
       {-1, ""}, 1},
      {"no backup, no cdrom, refused", true,
       [](const std::string& g) { RemoveTree(g + "/udisk_bak"); RemoveTree(g + "/cdrom"); }, kAnswerCancel,
       {kTextGpsIncomplete, " <cdrom> <udisk_bak>"}, 1},
      // The missing cdrom is accepted, but the backup that is there is
      // damaged: it is still checked and refused.
      {"no cdrom, backup damaged", true,
       [](const std::string& g) { RemoveTree(g + "/cdrom"); WriteWholeFile(g + "/udisk_bak/我的铃声/ring.mp3", "B"); },
       kAnswerOk, {kTextResourcesMismatch, ""}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ScanBench b;
    std::string set = b.root() + (c.gps ? "/GPS" : "/内置资源");
    c.gps ? MakeGpsSet(b.root()) : MakeResourcesSet(set);
    c.damage(set);
    b.prompter.QueueAnswer(c.answer);
    SetScanResult r = c.gps ? GpsScanJob(b.Context()) : ResourcesScanJob(b.Context());
    bool accepted = c.text.textId < 0;
    EXPECT_EQ(r.ok, accepted);
    if (!accepted) {
      EXPECT_EQ(r.message, c.text);
      auto shown = b.reporter.statuses(c.gps ? ScanSet::Gps : ScanSet::Resources);
      EXPECT_EQ(shown.empty() ? ScanText{} : shown.back(), r.message);
    }
    auto asked = b.prompter.records();
    ASSERT_EQ(asked.size(), c.prompts);
    for (const auto& a : asked) EXPECT_EQ(a.buttons, PromptButtons::OkCancel);
    auto events = b.reporter.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, Kind::Ended);
    EXPECT_EQ(events.back().ok, accepted);
    for (const char* cur : {"/resfile_cur.txt", "/QUILMAP/quilfile_cur.txt", "/udisk_bak/resfile_cur.txt"})
      EXPECT_FALSE(PathExists(set + cur)) << cur;
  }
  ScanBench none;
  EXPECT_EQ(ResourcesScanJob(none.Context()).message, (ScanText{kTextResourcesFolderMissing, none.root() + "/内置资源"}));
  EXPECT_EQ(GpsScanJob(none.Context()).message.textId, kTextGpsFolderMissing);
  MakeGpsSet(none.root());
  RemoveTree(none.root() + "/GPS/udisk_bak");
  GpsScanJob(none.Context());
  EXPECT_EQ(none.prompter.records().at(0).text, "Missing: <udisk_bak>");
}

// A root whose GBK length is `bytes` while its UTF-8 length is far more.
std::string RootOfGbkLength(const std::string& base, size_t bytes) {
  std::string root = base + "/";
  size_t have = root.size();
  for (; have + 2 <= bytes - 10; have += 2) root += "中";
  return root.append(bytes - have, 'x');
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

}  // namespace
}  // namespace flashery
