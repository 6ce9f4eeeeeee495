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

struct Lists {
  TempDir t;
  ListComparison Compare(const std::string& ref, const std::string& cur) {
    WriteWholeFile(t / "ref.txt", ref);
    WriteWholeFile(t / "cur.txt", cur);
    return CompareLists(t / "ref.txt", t / "cur.txt");
  }
};

const char* kReference =
    "FILE: music\n"
    "a.mp3;10byte;0x0000000a\n"
    "b.mp3;20byte;0x0000000b\n"
    "FILE: video\n"
    "c.avi;30byte;0x0000000c\n";

TEST(CompareLists, AcceptsReorderedFoldersAndExtraEntries) {
  Lists l;
  auto same = l.Compare(Crlf(kReference), Crlf(kReference));
  EXPECT_TRUE(same.accepted);
  EXPECT_EQ(same.verdict, ListVerdict::Identical);

  auto moved = l.Compare(Crlf(kReference), Crlf("FILE: music\n"
                                                 "new.mp3;1byte;0x00000001\n"
                                                 "A.MP3;10byte;0x0000000A\n"
                                                 "FILE: extra\n"
                                                 "x;1byte;0x00000001\n"
                                                 "FILE: video\n"
                                                 "c.avi;30byte;0x0000000c\n"
                                                 "b.mp3;20byte;0x0000000b\n"));
  EXPECT_TRUE(moved.accepted);
  EXPECT_EQ(moved.verdict, ListVerdict::Accepted);
}

TEST(CompareLists, NamesTheFirstReferenceLineThatFails) {
  Lists l;
  auto size = l.Compare(kReference, "FILE: music\n"
                                    "a.mp3;10byte;0x0000000a\n"
                                    "b.mp3;21byte;0x0000000b\n"
                                    "FILE: video\n"
                                    "c.avi;30byte;0x0000000c\n");
  EXPECT_FALSE(size.accepted);
  EXPECT_EQ(size.verdict, ListVerdict::Differs);
  EXPECT_EQ(size.referenceLine, 3u);
  EXPECT_EQ(size.referenceText, "b.mp3;20byte;0x0000000b");
  EXPECT_EQ(size.currentText, "b.mp3;21byte;0x0000000b");

  auto gone = l.Compare(kReference, "FILE: music\na.mp3;10byte;0x0000000a\nb.mp3;20byte;0x0000000b\n");
  EXPECT_EQ(gone.verdict, ListVerdict::Missing);
  EXPECT_EQ(gone.referenceText, "FILE: video");

  // An entry that the current list holds only before the point where the
  // lists first differ is not found.
  auto before = l.Compare("a;1byte\nb;2byte\na;1byte\n", "a;1byte\nc;3byte\nb;2byte\n");
  EXPECT_EQ(before.verdict, ListVerdict::Missing);
  EXPECT_EQ(before.referenceLine, 3u);

  EXPECT_TRUE(l.Compare("", "").accepted);  // two empty lists are the same bytes
  EXPECT_EQ(CompareLists(l.t / "ref.txt", l.t / "absent.txt").verdict, ListVerdict::Unreadable);
  EXPECT_EQ(CompareLists("", l.t / "ref.txt").verdict, ListVerdict::Unreadable);
}

TEST(CompareLists, OtherLinesMustStandInStep) {
  Lists l;
  // The same odd line at the same place passes; elsewhere it fails.
  EXPECT_TRUE(l.Compare("note\na;1byte\n", "NOTE\na;1byte\nz;1byte\n").accepted);
  auto odd = l.Compare("a;1byte\nnote\n", "x;1byte\na;1byte\nnote\n");
  EXPECT_EQ(odd.verdict, ListVerdict::Misplaced);
  EXPECT_EQ(odd.referenceText, "note");
  // Empty lines are no entries, and a last line without its line feed is
  // the same line.
  EXPECT_TRUE(l.Compare("a;1byte\n\nb;2byte\n\n", "a;1byte\nb;2byte\n").accepted);
  EXPECT_TRUE(l.Compare("a;1byte\r\nb;2byte;0x00000002", "a;1byte\r\nx;1byte\r\nb;2byte;0x00000002\r\n").accepted);
}

TEST(CompareLists, PlainNamesRepeatedAcrossFoldersMatchTheirOwnLine) {
  Lists l;
  // Plain naming gives two "1.mp3" entries; the second must be matched by
  // its own equal line, not refused over the first one's size.
  auto r = l.Compare("FILE: a\n1.mp3;5byte;0x00000005\nFILE: b\n1.mp3;7byte;0x00000007\n",
                     "FILE: a\nnew;1byte;0x00000001\n1.mp3;5byte;0x00000005\nFILE: b\n1.mp3;7byte;0x00000007\n");
  EXPECT_TRUE(r.accepted);
}

TEST(CompareLists, ListsInDifferentCodePagesCompareByText) {
  Lists l;
  std::string text = "FILE: 我的音乐\n我的音乐\\歌.mp3;3byte;0x7c749dd6\n";
  auto r = l.Compare(Crlf(Gbk(text)), "FILE: 其他\n" + text);
  EXPECT_TRUE(r.accepted) << ListVerdictName(r.verdict) << " " << r.referenceText;
  auto bad = l.Compare(Crlf(Gbk(text)), "FILE: 其他\nFILE: 我的音乐\n我的音乐\\歌.mp3;4byte;0x7c749dd6\n");
  EXPECT_EQ(bad.verdict, ListVerdict::Differs);
  EXPECT_EQ(bad.referenceText, "我的音乐\\歌.mp3;3byte;0x7c749dd6");
}

TEST(CompareLists, LongLinesAreReadInPiecesOfTheSystemCodePage) {
  // 130 Chinese characters are 260 bytes in GBK: with the line feed more
  // than one read of 259 bytes, so the line comes in two pieces and the
  // piece without ';' cannot move. 120 characters (240 bytes) fit.
  std::string longName, shortName;
  for (int i = 0; i < 130; ++i) longName += "歌";
  for (int i = 0; i < 120; ++i) shortName += "歌";
  auto records = ReadListRecords(Gbk(longName + ";1byte\n" + shortName + ";1byte\n"), Codepage::Gbk);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(SystemLength(records[0], Codepage::Gbk), 258u);  // 129 characters, never half of one
  EXPECT_EQ(records[1], "歌;1byte");
  EXPECT_EQ(records[2], shortName + ";1byte");

  Lists l;
  // x is missing
  EXPECT_FALSE(l.Compare(Gbk("x;1byte\n" + shortName + ";1byte\n"), Gbk("y;1byte\n" + shortName + ";1byte\n")).accepted);
  EXPECT_TRUE(l.Compare(Gbk(shortName + ";1byte\n"), Gbk("y;1byte\n" + shortName + ";1byte\n")).accepted);
  auto moved = l.Compare(Gbk(longName + ";1byte\n"), Gbk("y;1byte\n" + longName + ";1byte\n"));
  EXPECT_EQ(moved.verdict, ListVerdict::Misplaced);
  EXPECT_TRUE(l.Compare(Gbk(longName + ";1byte\n"), Gbk(longName + ";1byte\ny;1byte\n")).accepted);
}

TEST(ListRecords, ALineOfExactly259BytesLeavesItsFeedToTheNextRead) {
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
  Lists l;
  // Same name, same size, another check: refused even though the name holds ';'.
  auto r = l.Compare("a;b;3byte;0x00000001\n", "y;1byte\na;b;3byte;0x00000002\n");
  EXPECT_EQ(r.verdict, ListVerdict::Differs);
}

TEST(ExamineList, ProbesTheReferenceListInItsCodePage) {
  TempDir t;
  WriteWholeFile(t / "gbk.txt", Crlf(Gbk("FILE: 图片收藏\n图片收藏\\THUMBS.DB;3byte;0x7C749DD6\n")));
  ListProbe p = ExamineList(t / "gbk.txt", "图片收藏");
  EXPECT_TRUE(p.ok && !p.noThumbs && p.hasChecks && p.hasMarker);
  EXPECT_EQ(p.codepage, Codepage::Gbk);
  WriteWholeFile(t / "utf8.txt", "QUILMAP\\我.bin;3BYTE\n");
  p = ExamineList(t / "utf8.txt", "quilmap\\");
  EXPECT_TRUE(p.ok && p.noThumbs && !p.hasChecks && p.hasMarker);
  EXPECT_EQ(p.codepage, Codepage::Utf8);
  ASSERT_EQ(::mkfifo((t / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ExamineList(t / "pipe", "x").ok);  // never blocks
  EXPECT_FALSE(ExamineList(t / "absent.txt", "x").ok);
}

TEST(ListCodepage, EncodesNamesForTheList) {
  EXPECT_EQ(EncodeForList("a😀b", Codepage::Gbk), "a?b");
  EXPECT_EQ(EncodeForList("\xB8\xE8", Codepage::Gbk), "\xB8\xE8");  // already GBK
  EXPECT_EQ(EncodeForList("\xFF" "a", Codepage::Utf8), "?a");
  EXPECT_EQ(DetectListCodepage("abc", Codepage::Big5), Codepage::Big5);
}

}  // namespace
}  // namespace flashery
