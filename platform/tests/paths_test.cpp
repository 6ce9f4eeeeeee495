#include <gtest/gtest.h>

#include <unistd.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

std::vector<std::string> Names(const std::vector<DirEntry>& entries) {
  std::vector<std::string> out;
  for (const auto& e : entries) out.push_back(e.name);
  return out;
}

TEST(FolderListing, ComesInCaseInsensitiveOrdinalOrder) {
  testing::TempDir dir;
  for (const char* n : {"b.txt", "A.txt", "a_1", "Zeta", "_x", "abc", "ABD", "éclair", "Écrit", "中文", "1"})
    ASSERT_TRUE(WriteWholeFile(dir / n, n));
  ASSERT_TRUE(MakeDirectories(dir / "Sub"));
  ASSERT_EQ(::symlink((dir / "abc").c_str(), (dir / "zlink").c_str()), 0);  // listed, marked
  bool ok = false;
  auto entries = ListFolder(dir.path(), &ok);
  ASSERT_TRUE(ok);
  // '_' (0x5F) sorts after letters once they are upcased (0x41-0x5A): the
  // order of the original file system, not of a byte-wise sort.
  EXPECT_EQ(Names(entries), (std::vector<std::string>{"1", "A.txt", "abc", "ABD", "a_1", "b.txt", "Sub", "Zeta",
                                                      "zlink", "_x", "éclair", "Écrit", "中文"}));
  for (const auto& e : entries) {
    EXPECT_EQ(e.isDir, e.name == "Sub") << e.name;
    EXPECT_EQ(e.isLink, e.name == "zlink") << e.name;
  }
  EXPECT_EQ(entries[1].size, 5u);
  ListFolder(dir / "missing", &ok);
  EXPECT_FALSE(ok);
}

// Names compare as NTFS compares them: UTF-16 code units after the simple
// upper-case mapping of Unicode, ordinal; names in the legacy code page are
// decoded first.
TEST(NameOrder, UpcasesEveryScriptAndComparesCodeUnits) {
  struct Row {
    const char *a, *b;
    int order;
    Codepage legacy = Codepage::Gbk;
  } rows[] = {
      {"ⅰ", "Ⅱ", -1},           // U+2170 upcases to U+2160, before U+2161
      {"ⅹ", "Ⅹ", 0},
      {"ä", "Ä", 0},
      {"ä", "b", 1},             // U+00C4 after 'B'
      {"ß", "SS", 1},            // no simple upper case: stays U+00DF
      {"ß", "ẞ", -1},            // U+00DF before U+1E9E
      {"σ", "Σ", 0},
      {"ς", "Σ", 0},             // final sigma too
      {"ς1", "σ2", -1},
      {"я", "Я", 0},
      {"ё", "Ё", 0},
      {"ａｂ", "ＡＢ", 0},       // full-width
      {"ａｂ", "ＡＣ", -1},
      {"ǆ", "Ǆ", 0},
      {"a_1", "ABD", 1},         // '_' after the upcased letters
      {"abc", "ABCD", -1},
      {"中", "文", -1},          // ordinal, not a pronunciation order
      {"😀", "ｚ", -1},          // surrogate D83D before U+FF3A
      {"𐐨", "𐐀", 1},            // above U+FFFF: not upcased
      {"\xA2\xA1", "Ⅰ", 0},      // ⅰ in GBK bytes
      {"\xA2\xA1", "Ⅱ", -1},
      {"\xD6\xD0\xCE\xC4", "中文", 0},
      {"\xA2\xA1", "Ⅰ", -1, Codepage::Cp1252},  // "¢¡" there
      {"\xFF\xFF", "\xFF\xFE", 0},  // neither UTF-8 nor GBK: U+FFFD each
  };
  for (const Row& r : rows) {
    EXPECT_EQ(CompareNamesNoCase(r.a, r.b, r.legacy), r.order) << r.a << " " << r.b;
    EXPECT_EQ(CompareNamesNoCase(r.b, r.a, r.legacy), -r.order) << r.a << " " << r.b;
  }
  EXPECT_TRUE(MatchesWildcard("ⅰ.qfm", "Ⅰ.QFM"));
  EXPECT_TRUE(MatchesWildcard("\xA2\xA1.qfm", "*.QFM"));
  EXPECT_EQ(UpcaseUnit(0xD83D), 0xD83D);
}

TEST(FolderListing, OrdersNamesOutsideAsciiAndLegacyNamesAsNtfsDoes) {
  testing::TempDir dir;
  const std::vector<std::string> expected = {"z", "ς1", "σ2", "Σ3", "\xA2\xA1.txt" /* ⅰ in GBK */, "ⅱ.txt",
                                             "Ⅲ.txt", "中", "😀", "ａ", "Ｂ"};
  for (auto it = expected.rbegin(); it != expected.rend(); ++it) ASSERT_TRUE(WriteWholeFile(dir / *it, "x"));
  EXPECT_EQ(Names(ListFolder(dir.path())), expected);
  // Read as Big5, the same bytes are no Roman numeral and sort elsewhere.
  EXPECT_NE(Names(ListFolder(dir.path(), nullptr, Codepage::Big5)), expected);
}

TEST(NameMatching, ResolvesLayoutNamesWithoutCase) {
  testing::TempDir dir;
  ASSERT_TRUE(MakeDirectories(dir / "QuilMap/gps"));
  ASSERT_TRUE(WriteWholeFile(dir / "QuilMap/gps/Thumbs.DB", ""));
  EXPECT_EQ(*ResolveNoCase(dir.path(), "QUILMAP"), dir / "QuilMap");
  EXPECT_EQ(*ResolvePathNoCase(dir.path(), "quilmap\\GPS/thumbs.db"), dir / "QuilMap/gps/Thumbs.DB");
  EXPECT_FALSE(ResolvePathNoCase(dir.path(), "quilmap/none").has_value());

  EXPECT_TRUE(MatchesWildcard("release.qfm", "*.QFM"));
  EXPECT_TRUE(MatchesWildcard("English.lng", "*.lng"));
  EXPECT_FALSE(MatchesWildcard("English.lng.bak", "*.lng"));
  EXPECT_TRUE(MatchesWildcard("a1b", "a?b"));
  EXPECT_FALSE(MatchesWildcard("ab", "a?b"));
  EXPECT_TRUE(EqualsNoCase("ÉCRIT", "écrit"));
  EXPECT_FALSE(EqualsNoCase("a", "ab"));
}

TEST(PathPieces, JoinAndSplit) {
  EXPECT_EQ(JoinPath("/a/", "/b"), "/a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
  EXPECT_EQ(DirName("/a/b/c.txt"), "/a/b");
  EXPECT_EQ(DirName("/c"), "/");
  EXPECT_EQ(DirName("c"), "");
  EXPECT_EQ(BaseName("/a/b/c.txt"), "c.txt");
}

TEST(Files, AtomicWritesAndTreeRemovalStayInsideTheirFolder) {
  testing::TempDir dir;
  std::string f = dir / "cfg.ini";
  ASSERT_TRUE(WriteFileAtomic(f, "one"));
  ASSERT_TRUE(WriteFileAtomic(f, "two"));
  EXPECT_EQ(*ReadWholeFile(f), "two");
  EXPECT_EQ(ListFolder(dir.path()).size(), 1u);  // no temporary left behind

  // Removing a tree removes a link inside it, never what the link points to.
  testing::TempDir outside;
  ASSERT_TRUE(WriteWholeFile(outside / "keep", "x"));
  ASSERT_TRUE(MakeDirectories(dir / "tree/deep"));
  ASSERT_EQ(::symlink(outside.path().c_str(), (dir / "tree/deep/out").c_str()), 0);
  EXPECT_TRUE(RemoveTree(dir / "tree"));
  EXPECT_FALSE(PathExists(dir / "tree"));
  EXPECT_TRUE(PathExists(outside / "keep"));
  EXPECT_TRUE(RemoveTree(dir / "never-there"));
}

}  // namespace
}  // namespace flashery
