#include "engine/handset_name.h"

#include <gtest/gtest.h>

namespace flashery {
namespace {

TEST(HandsetName, MapsThePathBelowTheSetsMarkerFolder) {
  struct Row {
    const char* set;
    const char* path;
    const char* root;
    const char* name;  // nullptr: refused
  } rows[] = {
      {"/d/tool/GPS", "/d/tool/GPS/maps/city/a.dat", "//gpsdata//", "//gpsdata//maps//city//a.dat"},
      {"/r/内置资源", "/r/内置资源/ring/a.mp3", "//udisk//", "//udisk//ring//a.mp3"},
      {"/app/quillon", "/app/quillon/presetapp/x.apk", "//quillon//", "//quillon//presetapp//x.apk"},
      // Below the set's marker the search order still holds: GPS first.
      {"/app/quillon", "/app/quillon/GPS/a", "//quillon//", "//quillon//a"},
      // A marker folder above the set folder is not the set's.
      {"/srv/GPS/release/内置资源", "/srv/GPS/release/内置资源/x", "//udisk//", "//udisk//x"},
      {"/srv/GPS/tool/quillon", "/srv/GPS/tool/quillon/p/q.apk", "//quillon//", "//quillon//p//q.apk"},
      // The folder itself gives its name below the root.
      {"/d/GPS", "/d/GPS/QUILMAP", "//gpsdata//", "//gpsdata//QUILMAP"},
      // Layout names resolved in another case still mark the set.
      {"/d/gps", "/d/gps/quilmap/bin/x", "//gpsdata//", "//gpsdata//quilmap//bin//x"},
      // The deepest marker of the set folder's path is the set's.
      {"/GPS/plain", "/GPS/plain/a", "//udisk//", "//udisk//plain//a"},
      // A set folder without a marker: searched below the set only.
      {"/d/plain", "/d/plain/内置资源/a", "//udisk//", "//udisk//a"},
      {"/d/plain", "/d/plain/a", "//udisk//", nullptr},
      // No marker folder at all, a marker only as the file's own name, no root.
      {"/d/res", "/d/res/a", "//udisk//", nullptr},
      {"/d/x", "/d/x/GPS", "//gpsdata//", nullptr},
      {"/d/GPS", "/d/GPS/a", "", nullptr},
      // A marker is a whole component.
      {"/d/GPSX", "/d/GPSX/a", "//gpsdata//", nullptr},
  };
  for (const Row& r : rows) {
    auto name = MapToHandsetName(r.set, r.path, r.root);
    if (r.name == nullptr) {
      EXPECT_FALSE(name.has_value()) << r.path << " gave " << name.value_or("");
    } else {
      ASSERT_TRUE(name.has_value()) << r.path;
      EXPECT_EQ(*name, r.name) << r.path;
    }
  }
}

TEST(HandsetName, NamesAreUtf8AndAtMost259Bytes) {
  auto cn = MapToHandsetName("/r/内置资源", "/r/内置资源/我的音乐/歌.mp3", "//udisk//");
  ASSERT_TRUE(cn);
  EXPECT_EQ(*cn, "//udisk//\xe6\x88\x91\xe7\x9a\x84\xe9\x9f\xb3\xe4\xb9\x90//\xe6\xad\x8c.mp3");

  // A GBK-encoded local name (as copied from the original platform) is sent as UTF-8.
  auto gbk = MapToHandsetName("/r/GPS", "/r/GPS/\xb8\xe8.mp3", "//gpsdata//");
  ASSERT_TRUE(gbk);
  EXPECT_EQ(*gbk, "//gpsdata//\xe6\xad\x8c.mp3");

  std::string root = "//udisk//";
  std::string fits(kHandsetNameMaxBytes - root.size(), 'a');
  EXPECT_TRUE(MapToHandsetName("/r/内置资源", "/r/内置资源/" + fits, root));
  EXPECT_FALSE(MapToHandsetName("/r/内置资源", "/r/内置资源/" + fits + "a", root));
}

TEST(HandsetName, ListFilesAreSkippedAnywhereInThePath) {
  for (const char* p : {"/r/内置资源/resfile_pc.txt", "/r/GPS/udisk_bak/old_resfile_pc.txt", "/r/GPS/QUILMAP/QUILFILE_PC.TXT"})
    EXPECT_TRUE(IsSkippedListFile(p)) << p;
  for (const char* p : {"/r/内置资源/resfile_cur.txt", "/r/内置资源/resfile_pc.tx"}) EXPECT_FALSE(IsSkippedListFile(p)) << p;
}

}  // namespace
}  // namespace flashery
