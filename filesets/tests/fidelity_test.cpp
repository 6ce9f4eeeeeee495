// Lists made here for a folder must be byte for byte the lists the station
// made for the same folder on the original platform: file system order,
// '\' separators, CR LF, names in the reference list's code page. The
// references below are written as that station wrote them.
#include <gtest/gtest.h>

#include "filesets/fileset_layout.h"
#include "filesets/list_compare.h"
#include "filesets/set_listing.h"
#include "filesets/tests/scan_fixture.h"
#include "platform/paths.h"

namespace flashery {
namespace {

using testing::Crlf;
using testing::Gbk;
using testing::PutFile;
using testing::PutFolder;
using testing::Slurp;
using testing::TempDir;

// The current list of `folder` made as the checks make it from `ref`.
std::string CurrentListOf(const std::string& folder, const std::string& ref, const std::string& marker,
                          const std::string& anchor, const std::string& logical, const std::string& cur) {
  ListProbe probe = ExamineList(ref, marker);
  EXPECT_TRUE(probe.ok);
  std::string refName = ref.substr(ref.rfind('/') + 1);
  ListOptions o = CurrentListOptions(probe, refName, BaseName(cur), anchor, logical);
  WriteWholeFile(cur, "");
  EXPECT_TRUE(WriteList(folder, cur, o));
  EXPECT_EQ(CompareLists(ref, cur).verdict, ListVerdict::Identical);
  return Slurp(cur);
}

TEST(ListFidelity, RelativeResourcesListInGbk) {
  TempDir t;
  std::string set = t / "内置资源";
  testing::MakeResourcesSet(set);
  EXPECT_EQ(CurrentListOf(set, set + "/resfile_pc.txt", kResourcesMarker, kResourcesAnchor, "\\内置资源",
                          set + "/resfile_cur.txt"),
            Slurp(set + "/resfile_pc.txt"));
}

TEST(ListFidelity, PlainListWithoutChecksInTheOriginalOrder) {
  TempDir t;
  std::string set = t / "set";
  // Byte order would put "Beta" and "Zeta" before "alpha" and "_x" before
  // "alpha"; the original orders upper-cased names: alpha, Beta, Zeta, _x.
  PutFile(set, "Zeta.txt", "abc");
  PutFile(set, "_x.bin", "");
  PutFile(set, "alpha.txt", "A");
  PutFile(set, "Beta/歌曲一.mp3", "123456789");
  PutFile(set, "Beta/é.txt", "A");
  PutFile(set, "Beta/a.txt", "A");
  PutFile(set, "resfile_pc.txt", Crlf(Gbk("alpha.txt;1byte\n"
                                          "FILE: Beta\n"
                                          "a.txt;1byte\n"
                                          "é.txt;1byte\n"
                                          "歌曲一.mp3;9byte\n"
                                          "Zeta.txt;3byte\n"
                                          "_x.bin;0byte\n")));
  EXPECT_EQ(CurrentListOf(set, set + "/resfile_pc.txt", kResourcesMarker, kResourcesAnchor, "\\内置资源",
                          set + "/resfile_cur.txt"),
            Slurp(set + "/resfile_pc.txt"));
}

TEST(ListFidelity, GpsNamesFollowTheStationsSpellingNotTheDisks) {
  TempDir t;
  testing::MakeGpsSet(t.path(), "gps", "quilmap");
  std::string q = t / "gps/quilmap";
  EXPECT_EQ(CurrentListOf(q, q + "/quilfile_pc.txt", kGpsMarker, kGpsAnchor, "\\GPS\\QUILMAP",
                          q + "/quilfile_cur.txt"),
            Slurp(q + "/quilfile_pc.txt"));
  std::string backup = t / "gps/udisk_bak";
  EXPECT_EQ(CurrentListOf(backup, backup + "/resfile_pc.txt", kResourcesMarker, kBackupAnchor,
                          "\\GPS\\udisk_bak", backup + "/resfile_cur.txt"),
            Slurp(backup + "/resfile_pc.txt"));
}

}  // namespace
}  // namespace flashery

namespace flashery {
namespace {

TEST(StationNameInSet, NamesFromTheSetFolderOn) {
  struct Row {
    const char* path;
    SetKind kind;
    const char* name;  // nullptr: not inside such a set
  } rows[] = {
      {"/data/rel/GPS/QUILMAP", SetKind::Gps, "\\GPS\\QUILMAP"},
      {"/data/rel/gps/quilmap/bin", SetKind::Gps, "\\GPS\\QUILMAP\\bin"},
      {"/GPS/old/gps/Maps", SetKind::Gps, "\\GPS\\Maps"},  // the last GPS component counts
      {"/data/rel/内置资源", SetKind::Resources, "\\内置资源"},
      {"/data/rel/GPS/UDISK_BAK/", SetKind::Backup, "\\udisk_bak"},
      {"/data/rel/GPSX", SetKind::Gps, nullptr},
      {"/data/rel/GPS", SetKind::Resources, nullptr},
  };
  for (const auto& r : rows) {
    auto name = StationNameInSet(r.path, r.kind);
    if (!r.name) {
      EXPECT_FALSE(name.has_value()) << r.path;
    } else {
      EXPECT_EQ(name.value_or("<none>"), r.name) << r.path;
    }
  }
  EXPECT_STREQ(AnchorOf(SetKind::Backup), "\\udisk_bak\\");
}

}  // namespace
}  // namespace flashery
