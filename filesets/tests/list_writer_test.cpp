#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "filesets/list_writer.h"
#include "filesets/tests/fileset_fixture.h"

namespace flashery {
namespace {

using testing::Crlf;
using testing::Gbk;
using testing::PutFile;
using testing::PutFolder;
using testing::Slurp;
using testing::TempDir;

// Known check values: "abc" 0x7c749dd6, "123456789" 0x869031c3, "A"
// 0x000058e5, an empty file 0x00000001.
void MakeTree(const std::string& root) {
  PutFile(root, "b.txt", "abc");
  PutFile(root, "Sub/empty.bin", "");
  PutFile(root, "Sub/Deep/nine.txt", "123456789");
  PutFile(root, "_last.txt", "A");
  PutFile(root, "A.txt", "A");
}

std::string List(const std::string& folder, const std::string& out, const ListOptions& o) {
  WriteWholeFile(out, "");
  EXPECT_TRUE(WriteList(folder, out, o));
  return Slurp(out);
}

TEST(ListWriter, PlainAndRelativeNamingInFileSystemOrder) {
  TempDir t;
  std::string root = t / "GPS/QUILMAP";
  MakeTree(root);
  ListOptions o;
  o.withCheck = true;
  // Names compare upper-cased: "A.txt" < "b.txt" < "Sub" < "_last.txt"
  // ('_' sorts after the letters there, unlike a byte order of the names).
  EXPECT_EQ(List(root, t / "plain.txt", o), Crlf("A.txt;1byte;0x000058e5\n"
                                                 "b.txt;3byte;0x7c749dd6\n"
                                                 "FILE: Sub\n"
                                                 "FILE: Deep\n"
                                                 "nine.txt;9byte;0x869031c3\n"
                                                 "empty.bin;0byte;0x00000001\n"
                                                 "_last.txt;1byte;0x000058e5\n"));

  o.withCheck = false;
  o.naming = {true, "\\GPS\\", "\\GPS\\QUILMAP"};
  EXPECT_EQ(List(root, t / "relative.txt", o), Crlf("QUILMAP\\A.txt;1byte\n"
                                                    "QUILMAP\\b.txt;3byte\n"
                                                    "FILE: QUILMAP\\Sub\n"
                                                    "FILE: QUILMAP\\Sub\\Deep\n"
                                                    "QUILMAP\\Sub\\Deep\\nine.txt;9byte\n"
                                                    "QUILMAP\\Sub\\empty.bin;0byte\n"
                                                    "QUILMAP\\_last.txt;1byte\n"));

  // A folder given with a trailing separator names its entries the same.
  o.naming.logicalFolder = "\\GPS\\QUILMAP\\";
  EXPECT_EQ(List(root + "/", t / "trailing.txt", o), Slurp(t / "relative.txt"));

  // Without a logical name the path itself is used; its root does not
  // hold the anchor, so only the entries below "/GPS/" get names - and
  // the anchor is found in the path given, whatever lies before it.
  o.naming.logicalFolder.clear();
  EXPECT_EQ(List(root, t / "fromPath.txt", o), Slurp(t / "relative.txt"));
  o.naming.anchor = "\\NOWHERE\\";
  EXPECT_EQ(List(root, t / "noAnchor.txt", o), "");
}

TEST(ListWriter, AppendsAndRefusesEmptyArguments) {
  TempDir t;
  PutFile(t.path(), "set/x.txt", "abc");
  WriteWholeFile(t / "l.txt", "head\r\n");
  ASSERT_TRUE(WriteList(t / "set", t / "l.txt", {}));
  EXPECT_EQ(Slurp(t / "l.txt"), "head\r\nx.txt;3byte\r\n");
  EXPECT_FALSE(WriteList("", t / "l.txt", {}));
  EXPECT_FALSE(WriteList(t / "absent", t / "l.txt", {}));
}

TEST(ListWriter, FilterLeavesOutAndDeletesThumbnailCaches) {
  TempDir t;
  std::string set = t / "set";
  PutFile(set, "Thumbs.db", "A");
  PutFile(set, "pics/THUMBS.DB", "A");
  PutFile(set, "pics/ehthumbs.db", "A");
  PutFile(set, "pics/p.jpg", "abc");
  PutFile(set, "resfile_pc.txt", "ref");
  PutFile(set, "skipme/inner.txt", "abc");

  ListOptions keep;  // no filter: caches are files like any other
  EXPECT_EQ(List(set, t / "keep.txt", keep), Crlf("FILE: pics\n"
                                                  "ehthumbs.db;1byte\n"
                                                  "p.jpg;3byte\n"
                                                  "THUMBS.DB;1byte\n"
                                                  "resfile_pc.txt;3byte\n"
                                                  "FILE: skipme\n"
                                                  "inner.txt;3byte\n"
                                                  "Thumbs.db;1byte\n"));
  EXPECT_TRUE(PathExists(set + "/Thumbs.db"));

  ListOptions drop;
  drop.filter = SetListFilter("resfile_pc.txt", "resfile_cur.txt", /*noThumbs=*/true);
  ASSERT_TRUE(drop.filter.AddFolder("SKIPME"));
  EXPECT_EQ(List(set, t / "drop.txt", drop), Crlf("FILE: pics\n"
                                                  "p.jpg;3byte\n"));
  EXPECT_FALSE(PathExists(set + "/Thumbs.db"));
  EXPECT_FALSE(PathExists(set + "/pics/THUMBS.DB"));
  EXPECT_FALSE(PathExists(set + "/pics/ehthumbs.db"));
  EXPECT_TRUE(PathExists(set + "/resfile_pc.txt"));  // left out, never deleted
  EXPECT_TRUE(PathExists(set + "/skipme/inner.txt"));

}

TEST(ListWriter, NamesInTheListsCodePage) {
  TempDir t;
  std::string set = t / "内置资源";
  PutFile(set, "我的音乐/歌.mp3", "abc");
  PutFile(set, "系统.txt", "A");  // GBK CF B5 CD B3, which is valid UTF-8 as well
  ListOptions o;
  o.naming = {true, "\\内置资源\\", "\\内置资源"};
  o.codepage = Codepage::Gbk;
  EXPECT_EQ(List(set, t / "gbk.txt", o), Crlf(Gbk("FILE: 我的音乐\n我的音乐\\歌.mp3;3byte\n系统.txt;1byte\n")));
  // A UTF-8 list declares itself by its byte order mark, written once.
  o.codepage = Codepage::Utf8;
  EXPECT_EQ(List(set, t / "utf8.txt", o),
            "\xEF\xBB\xBF" + Crlf("FILE: 我的音乐\n我的音乐\\歌.mp3;3byte\n系统.txt;1byte\n"));
  o.codepage = Codepage::Big5;
  EXPECT_EQ(List(set + "/我的音乐", t / "big5.txt", o).substr(0, 2), "\xBA\x71");  // 歌 in Big5

  // A name stored on this disk in GBK bytes (unpacked from an archive made
  // on the original platform) is the same name.
  TempDir u;
  PutFile(u.path(), Gbk("歌.mp3"), "abc");
  ListOptions g;
  g.codepage = Codepage::Gbk;
  EXPECT_EQ(List(u.path(), t / "raw.txt", g), Crlf(Gbk("歌.mp3;3byte\n")));
}

TEST(ListWriter, RefusesNamesTheListCannotHoldAndSaysWhich) {
  struct Row {
    std::string name;
    Codepage cp;
    bool folder;
  } rows[] = {
      {"emoji😀.txt", Codepage::Gbk, false},
      {"emoji😀", Codepage::Gbk, true},
      {"系统.txt", Codepage::Cp1252, false},
      {"a\\b.txt", Codepage::Utf8, false},
      {"junk\nforged.bin;3byte", Codepage::Gbk, false},
      {"cr\r.txt", Codepage::Gbk, false},
      {"tab\t.txt", Codepage::Gbk, false},
      {"\xFF\xFE.txt", Codepage::Gbk, false},  // neither UTF-8 nor GBK
  };
  for (const Row& r : rows) {
    TempDir t;
    std::string set = t / "set";
    PutFile(set, "a.txt", "abc");
    if (r.folder)
      PutFile(set, r.name + "/inner.txt", "A");
    else
      PutFile(set, r.name, "A");
    ListOptions o;
    o.codepage = r.cp;
    WriteWholeFile(t / "l.txt", "");
    ListRefusal refused;
    EXPECT_FALSE(WriteList(set, t / "l.txt", o, &refused)) << r.name;
    EXPECT_NE(refused.name.find("\\set\\"), std::string::npos) << refused.name;
    EXPECT_FALSE(refused.reason.empty());
    if (IsValidUtf8(r.name)) {
      EXPECT_EQ(refused.name.substr(refused.name.size() - r.name.size()), r.name);
    }
  }
}

TEST(ListWriter, HostileEntriesCannotForgeOrHang) {
  TempDir t;
  std::string set = t / "set";
  PutFile(set, "real.txt", "abc");
  ASSERT_EQ(::mkfifo((set + "/pipe").c_str(), 0600), 0);
  ASSERT_EQ(::symlink(set.c_str(), (set + "/loop").c_str()), 0);
  ASSERT_EQ(::symlink((set + "/real.txt").c_str(), (set + "/link.txt").c_str()), 0);
  ListOptions o;
  o.withCheck = true;
  EXPECT_EQ(List(set, t / "l.txt", o), Crlf("link.txt;3byte;0x7c749dd6\n"
                                           "real.txt;3byte;0x7c749dd6\n"));
}

TEST(ListWriter, RefusesRunawayDepth) {
  TempDir t;
  std::string deep = t / "d";
  for (int i = 0; i <= kMaxListDepth + 1; ++i) deep += "/x";
  ASSERT_TRUE(MakeDirectories(deep));
  ListOptions o;
  EXPECT_FALSE(WriteList(t / "d", t / "l.txt", o));
}

TEST(ListLineFormat, SizesPrintAsSigned32Bits) {
  struct Row {
    uint64_t size;
    bool withCheck;
    uint32_t check;
    const char* line;
  } rows[] = {
      {0, true, 1, "n;0byte;0x00000001"},
      {2147483647u, false, 0, "n;2147483647byte"},
      {2147483648u, false, 0, "n;-2147483648byte"},
      {0x100000005ull, true, 0xABCDEF12u, "n;5byte;0xabcdef12"},
  };
  for (const auto& r : rows) EXPECT_EQ(FileListLine("n", r.size, r.withCheck, r.check), r.line);
  EXPECT_EQ(RelativeEntryName("D:\\x\\GPS\\QUILMAP\\GPS\\a", "\\GPS\\"), "QUILMAP\\GPS\\a");
}

}  // namespace
}  // namespace flashery
