#include <gtest/gtest.h>
#include <sys/stat.h>

#include "filesets/list_codepage.h"
#include "filesets/list_compare.h"
#include "filesets/list_examine.h"
#include "filesets/list_line.h"
#include "filesets/tests/fileset_fixture.h"

namespace flashery {
namespace {

using testing::Crlf;
using testing::Gbk;
using testing::TempDir;

TEST(CompareFiles, ReportsTheFirstDifferenceKind) {
  TempDir t;
  WriteWholeFile(t / "a", std::string(200000, 'x'));
  WriteWholeFile(t / "same", std::string(200000, 'x'));
  std::string late(200000, 'x');
  late[140000] = 'y';  // in the third piece
  WriteWholeFile(t / "late", late);
  WriteWholeFile(t / "short", "x");
  ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(CompareFiles(t / "a", t / "same"), FileComparison::Equal);
  EXPECT_EQ(CompareFiles(t / "a", t / "late"), FileComparison::ContentsDiffer);
  EXPECT_EQ(CompareFiles(t / "a", t / "short"), FileComparison::SizesDiffer);
  EXPECT_EQ(CompareFiles(t / "a", t / "absent"), FileComparison::CannotOpen);
  EXPECT_EQ(CompareFiles(t / "a", t / "pipe"), FileComparison::CannotOpen);  // never blocks
}

const char* kReference =
    "FILE: music\n"
    "a.mp3;10byte;0x0000000a\n"
    "b.mp3;20byte;0x0000000b\n"
    "FILE: video\n"
    "c.avi;30byte;0x0000000c\n";

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0) out += s;
  return out;
}

// Each reference line must be found in the current list as a whole line:
// headers and entries anywhere after the point where the lists part, an
// entry of the same name with another size or check is refused, any other
// line must stand at the same place.
TEST(CompareLists, EveryReferenceLineIsFoundAsAWholeLine) {
  using V = ListVerdict;
  const std::string text = "FILE: 我的音乐\n我的音乐\\歌.mp3;3byte;0x7c749dd6\n";
  // 130 Chinese characters are 260 bytes in GBK: with the line feed more
  // than one read of 259 bytes, so the line comes in two pieces and the
  // piece without ';' cannot move. 120 characters (240 bytes) fit.
  const std::string longName = Repeat("歌", 130), shortName = Repeat("歌", 120);
  struct Row {
    const char* what;
    std::string ref, cur;
    V verdict;
    size_t line;          // 0: not checked
    const char* refText;  // nullptr: not checked
  } rows[] = {
      {"same bytes", Crlf(kReference), Crlf(kReference), V::Identical, 0, nullptr},
      {"two empty lists", "", "", V::Identical, 0, nullptr},
      {"folders reordered, extra entries, names in another case",
       Crlf(kReference),
       Crlf("FILE: video\nc.avi;30byte;0x0000000c\nFILE: extra\nx;1byte;0x00000001\n"
            "FILE: music\nnew.mp3;1byte;0x00000001\nb.mp3;20byte;0x0000000b\nA.MP3;10byte;0x0000000A\n"),
       V::Accepted, 0, nullptr},
      {"another size", kReference,
       "FILE: music\na.mp3;10byte;0x0000000a\nb.mp3;21byte;0x0000000b\nFILE: video\nc.avi;30byte;0x0000000c\n",
       V::Differs, 3, "b.mp3;20byte;0x0000000b"},
      {"a header missing", kReference, "FILE: music\na.mp3;10byte;0x0000000a\nb.mp3;20byte;0x0000000b\n", V::Missing,
       4, "FILE: video"},
      {"an entry only before the point where the lists part", "a;1byte\nb;2byte\na;1byte\n",
       "a;1byte\nc;3byte\nb;2byte\n", V::Missing, 3, "a;1byte"},
      {"an odd line in step", "note\na;1byte\n", "NOTE\na;1byte\nz;1byte\n", V::Accepted, 0, nullptr},
      {"an odd line out of step", "a;1byte\nnote\n", "x;1byte\na;1byte\nnote\n", V::Misplaced, 2, "note"},
      {"empty lines are no entries", "a;1byte\n\nb;2byte\n\n", "a;1byte\nb;2byte\n", V::Accepted, 0, nullptr},
      {"empty lines in step, then an odd line", "a;1byte\n\nnote\n", "a;1byte\n\nnote\nz;1byte\n", V::Accepted, 0,
       nullptr},
      {"a last line without its feed", "a;1byte\r\nb;2byte;0x00000002",
       "a;1byte\r\nx;1byte\r\nb;2byte;0x00000002\r\n", V::Accepted, 0, nullptr},
      // Plain naming gives two "1.mp3" entries; the second must be matched
      // by its own equal line, not refused over the first one's size.
      {"a plain name in two folders", "FILE: a\n1.mp3;5byte;0x00000005\nFILE: b\n1.mp3;7byte;0x00000007\n",
       "FILE: a\nnew;1byte;0x00000001\n1.mp3;5byte;0x00000005\nFILE: b\n1.mp3;7byte;0x00000007\n", V::Accepted, 0,
       nullptr},
      {"a name holding ';' with another check", "a;b;3byte;0x00000001\n", "y;1byte\na;b;3byte;0x00000002\n",
       V::Differs, 1, "a;b;3byte;0x00000001"},
      {"GBK against UTF-8", Crlf(Gbk(text)), "\xEF\xBB\xBF" "FILE: 其他\n" + text, V::Accepted, 0, nullptr},
      {"GBK against UTF-8, another size", Crlf(Gbk(text)),
       "\xEF\xBB\xBF" "FILE: 其他\nFILE: 我的音乐\n我的音乐\\歌.mp3;4byte;0x7c749dd6\n", V::Differs, 2,
       "我的音乐\\歌.mp3;3byte;0x7c749dd6"},
      {"long lines: x missing", Gbk("x;1byte\n" + shortName + ";1byte\n"), Gbk("y;1byte\n" + shortName + ";1byte\n"),
       V::Missing, 1, "x;1byte"},
      {"a line of 240 bytes moves", Gbk(shortName + ";1byte\n"), Gbk("y;1byte\n" + shortName + ";1byte\n"),
       V::Accepted, 0, nullptr},
      {"a line of 260 bytes cannot move", Gbk(longName + ";1byte\n"), Gbk("y;1byte\n" + longName + ";1byte\n"),
       V::Misplaced, 1, nullptr},
      {"a line of 260 bytes in step", Gbk(longName + ";1byte\n"), Gbk(longName + ";1byte\ny;1byte\n"), V::Accepted,
       0, nullptr},
  };
  TempDir t;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    WriteWholeFile(t / "ref.txt", r.ref);
    WriteWholeFile(t / "cur.txt", r.cur);
    ListComparison c = CompareLists(t / "ref.txt", t / "cur.txt");
    EXPECT_STREQ(ListVerdictName(c.verdict), ListVerdictName(r.verdict));
    EXPECT_EQ(c.accepted, r.verdict == V::Identical || r.verdict == V::Accepted);
    if (r.line) {
      EXPECT_EQ(c.referenceLine, r.line);
    }
    if (r.refText) {
      EXPECT_EQ(c.referenceText, r.refText);
    }
  }
  EXPECT_EQ(CompareLists(t / "ref.txt", t / "absent.txt").verdict, V::Unreadable);
  EXPECT_EQ(CompareLists("", t / "ref.txt").verdict, V::Unreadable);
}

// Each entry is matched within its folder: the block of its header when
// the list carries own names, the path in its name when it carries paths.
TEST(CompareLists, MatchesEachEntryWithinItsFolder) {
  using V = ListVerdict;
  const std::string plain = "FILE: a\nx;5byte\ny;1byte\nFILE: b\nx;7byte\n";
  const std::string paths = "FILE: a\na\\x;5byte\nFILE: b\nb\\x;7byte\nroot;1byte\n";
  struct Row {
    const char* what;
    std::string ref, cur;
    V verdict;
    size_t line;
    const char* currentText;  // for Differs
  } rows[] = {
      {"folders reordered", plain, "FILE: b\nx;7byte\nFILE: a\ny;1byte\nx;5byte\n", V::Accepted, 0, ""},
      {"sizes swapped across folders", plain, "FILE: a\nx;7byte\ny;1byte\nFILE: b\nx;5byte\n", V::Differs, 2,
       "x;7byte"},
      {"swapped and reordered", plain, "FILE: b\nx;5byte\nFILE: a\nx;7byte\ny;1byte\n", V::Differs, 2, "x;7byte"},
      {"one name, equal sizes, two folders", "FILE: a\nx;5byte\nFILE: b\nx;5byte\n",
       "FILE: b\nx;5byte\nFILE: a\nx;5byte\n", V::Accepted, 0, ""},
      {"a file moved to another folder", plain, "FILE: a\nx;5byte\nFILE: b\nx;7byte\ny;1byte\n", V::Missing, 3,
       ""},
      {"a folder's entries under another header", plain, "FILE: a\nx;5byte\ny;1byte\nFILE: c\nx;7byte\n",
       V::Missing, 4, ""},
      {"two folders of one name, either way round", "FILE: m\nx;1byte\nFILE: m\nx;2byte\n",
       "FILE: m\nx;2byte\nFILE: m\nx;1byte\n", V::Accepted, 0, ""},
      {"two folders of one name, one left", "FILE: m\nx;1byte\nFILE: m\nx;2byte\n", "FILE: m\nx;2byte\nx;1byte\n",
       V::Missing, 3, ""},
      {"a folder's header with another case", plain, "file: A\nX;5BYTE\ny;1byte\nFILE: B\nx;7byte\n", V::Accepted,
       0, ""},
      {"an entry twice in its folder, once in the current", "FILE: a\nx;1byte\nx;1byte\n",
       "FILE: a\nx;1byte\nz;1byte\n", V::Missing, 3, ""},
      {"paths: folders reordered, root entry after a folder", paths,
       "root;1byte\nFILE: b\nb\\x;7byte\nFILE: a\na\\x;5byte\n", V::Accepted, 0, ""},
      {"paths: sizes swapped", paths, "FILE: a\na\\x;7byte\nFILE: b\nb\\x;5byte\nroot;1byte\n", V::Differs, 2,
       "a\\x;7byte"},
      {"paths: a file moved", paths, "FILE: a\na\\x;5byte\nFILE: b\nroot;1byte\nFILE: c\nc\\x;7byte\n", V::Missing,
       4, ""},
  };
  TempDir t;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    WriteWholeFile(t / "ref.txt", Crlf(r.ref));
    WriteWholeFile(t / "cur.txt", Crlf(r.cur));
    ListComparison c = CompareLists(t / "ref.txt", t / "cur.txt");
    EXPECT_STREQ(ListVerdictName(c.verdict), ListVerdictName(r.verdict));
    EXPECT_EQ(c.accepted, r.verdict == V::Accepted);
    if (r.line) {
      EXPECT_EQ(c.referenceLine, r.line);
    }
    EXPECT_EQ(c.currentText, r.currentText);
  }
}

TEST(ListRecords, LongLinesAreReadInPiecesOfTheSystemCodePage) {
  std::string longName = Repeat("歌", 130), shortName = Repeat("歌", 120);
  auto records = ReadListRecords(Gbk(longName + ";1byte\n" + shortName + ";1byte\n"), Codepage::Gbk);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(SystemLength(records[0], Codepage::Gbk), 258u);  // 129 characters, never half of one
  EXPECT_EQ(records[1], "歌;1byte");
  EXPECT_EQ(records[2], shortName + ";1byte");
  // A line of exactly 259 bytes leaves its feed to the next read.
  std::string exact(259, 'a');
  EXPECT_EQ(ReadListRecords(exact + "\nb\r\n", Codepage::Gbk), (std::vector<std::string>{exact, "", "b"}));
}

TEST(SplitListLine, CutsAtEverySeparator) {
  struct Row {
    const char* line;
    std::vector<std::string> fields;
  } rows[] = {
      {"a.txt;3byte;0x7c749dd6\n", {"a.txt", "3byte", "0x7c749dd6"}},
      {"FILE: x\n", {"FILE: x"}},
      {"\n", {}},
      {"", {}},
      {";;a;;b;", {"a", "b"}},
  };
  for (const auto& r : rows) EXPECT_EQ(SplitListLine(r.line), r.fields) << r.line;
  // A line is taken to 259 bytes, never inside a character.
  std::string longLine = std::string(258, 'x') + "歌;9byte";
  auto f = SplitListLine(longLine);
  ASSERT_EQ(f.size(), 1u);
  EXPECT_EQ(f[0], std::string(258, 'x'));
}

TEST(ParseListEntry, NamesMayHoldSeparators) {
  struct Row {
    const char* line;
    int fields;
    const char *name, *size, *check;
  } rows[] = {
      {"a.txt;3byte;0x7c749dd6", 3, "a.txt", "3byte", "0x7c749dd6"},
      {"FILE: x", 1, "FILE: x", "", ""},
      {"a;b.txt;3byte;0x00000001", 3, "a;b.txt", "3byte", "0x00000001"},
      {"a;b.txt;3byte", 2, "a;b.txt", "3byte", ""},
      {"x;y;z", 2, "x;y", "z", ""},
  };
  for (const auto& r : rows) {
    ListEntry e = ParseListEntry(r.line);
    EXPECT_EQ(e.fields, r.fields) << r.line;
    EXPECT_EQ(e.name, r.name) << r.line;
    EXPECT_EQ(e.size, r.size) << r.line;
    EXPECT_EQ(e.check, r.check) << r.line;
  }
}

TEST(ExamineList, ProbesTheReferenceListInItsCodePage) {
  TempDir t;
  WriteWholeFile(t / "gbk.txt", Crlf(Gbk("FILE: 图片收藏\n图片收藏\\THUMBS.DB;3byte;0x7C749DD6\n")));
  ListProbe p = ExamineList(t / "gbk.txt", "图片收藏");
  EXPECT_TRUE(p.ok && !p.noThumbs && p.hasChecks && p.hasMarker);
  EXPECT_EQ(p.codepage, Codepage::Gbk);
  WriteWholeFile(t / "utf8.txt", "\xEF\xBB\xBFQUILMAP\\我.bin;3BYTE\n");
  p = ExamineList(t / "utf8.txt", "quilmap\\");
  EXPECT_TRUE(p.ok && p.noThumbs && !p.hasChecks && p.hasMarker);
  EXPECT_EQ(p.codepage, Codepage::Utf8);
  ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ExamineList(t / "pipe", "x").ok);  // never blocks
  EXPECT_FALSE(ExamineList(t / "absent.txt", "x").ok);
}

}  // namespace
}  // namespace flashery
