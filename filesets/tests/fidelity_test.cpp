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

// The plain set: byte order would put "Beta" and "Zeta" before "alpha" and
// "_x" before "alpha"; the original orders upper-cased names: alpha, Beta,
// Zeta, _x.
void MakePlainSet(const std::string& set) {
  PutFile(set, "Zeta.txt", "abc");
  PutFile(set, "_x.bin", "");
  PutFile(set, "alpha.txt", "A");
  PutFile(set, "Beta/歌曲一.mp3", "123456789");
  PutFile(set, "Beta/é.txt", "A");
  PutFile(set, "Beta/a.txt", "A");
  PutFile(set, "resfile_pc.txt", Crlf(Gbk("alpha.txt;1byte\nFILE: Beta\na.txt;1byte\né.txt;1byte\n"
                                          "歌曲一.mp3;9byte\nZeta.txt;3byte\n_x.bin;0byte\n")));
}

TEST(ListFidelity, CurrentListsAreTheReferenceListsByteForByte) {
  TempDir t;
  testing::MakeResourcesSet(t / "内置资源");
  MakePlainSet(t / "set");
  testing::MakeGpsSet(t.path(), "gps", "quilmap");  // the station's spelling, not the disk's
  struct Row {
    std::string folder;
    const char *list, *marker, *anchor, *logical;
  } rows[] = {
      {t / "内置资源", "resfile", kResourcesMarker, kResourcesAnchor, "\\内置资源"},  // relative names, GBK
      {t / "set", "resfile", kResourcesMarker, kResourcesAnchor, "\\内置资源"},     // plain, no checks
      {t / "gps/quilmap", "quilfile", kGpsMarker, kGpsAnchor, "\\GPS\\QUILMAP"},
      {t / "gps/udisk_bak", "resfile", kResourcesMarker, kBackupAnchor, "\\GPS\\udisk_bak"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.folder);
    std::string ref = r.folder + "/" + r.list + "_pc.txt", cur = r.folder + "/" + r.list + "_cur.txt";
    ListProbe probe = ExamineList(ref, r.marker);
    EXPECT_TRUE(probe.ok);
    ListOptions o = CurrentListOptions(probe, BaseName(ref), BaseName(cur), r.anchor, r.logical);
    WriteWholeFile(cur, "");
    EXPECT_TRUE(WriteList(r.folder, cur, o));
    EXPECT_EQ(Slurp(cur), Slurp(ref));
    EXPECT_EQ(CompareLists(ref, cur).verdict, ListVerdict::Identical);
  }
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
}

}  // namespace
}  // namespace flashery
