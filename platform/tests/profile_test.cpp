#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(ProfileInt, ReadsLeadingValidPartAsThePlatformDoes) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"55zz", 55}, {"zz", 0}, {"0x1F", 31}, {"0X1f", 31}, {"-3", -3}, {"  42  ", 42},
      {"+7", 7},    {"0x", 0}, {"1e3", 1},   {"300", 300}, {"4294967295", -1}, {"-0x10", -16},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.want) << c.text;
}

TEST(ProfileDocument, MatchesWithoutCaseFirstMatchWinsAndTrims) {
  auto doc = ProfileDocument::Parse(
      "; settings\r\n"
      "[CheckInfo]\r\n"
      "  chosekernel  =  1  \r\n"
      "choseKernel=0\r\n"
      "quoted = \"  spaced value  \"\r\n"
      "single='x'\r\n"
      "half=\"open\r\n"
      "empty=\r\n"
      "[checkinfo]\r\n"
      "later=9\r\n");
  EXPECT_EQ(doc.GetInt("checkinfo", "CHOSEKERNEL", 5), 1);
  EXPECT_EQ(doc.GetString("CHECKINFO", "quoted"), "  spaced value  ");
  EXPECT_EQ(doc.GetString("checkinfo", "single"), "x");
  EXPECT_EQ(doc.GetString("checkinfo", "half"), "\"open");
  // An empty value reads as the default for integers, as empty for strings.
  EXPECT_EQ(doc.GetInt("checkinfo", "empty", 7), 7);
  EXPECT_EQ(doc.GetString("checkinfo", "empty", "def"), "");
  EXPECT_EQ(doc.GetString("checkinfo", "missing", "def"), "def");
  // Only the first section of a name is searched.
  EXPECT_EQ(doc.GetInt("checkinfo", "later", -1), -1);
  EXPECT_EQ(doc.GetInt("nosuch", "x", 3), 3);
}

TEST(ProfileDocument, CutsLongValuesAtTheBufferSizeOnACharacterBoundary) {
  std::string v(1500, 'a');
  auto doc = ProfileDocument::Parse("[Text]\n150=" + v + "\n151=" + std::string(1022, 'b') + "中\n");
  EXPECT_EQ(doc.GetString("Text", "150").size(), 1023u);
  // "中" is three bytes: it would end at byte 1025, so it is dropped whole.
  EXPECT_EQ(doc.GetString("Text", "151"), std::string(1022, 'b'));
}

TEST(ProfileDocument, WritesKeepTheRestOfTheFileByteForByte) {
  const std::string original =
      "; comment stays\r\n"
      "[Language]\r\n"
      "currentLang=2052\r\n"
      "\r\n"
      "[checkinfo]\r\n"
      "chosekernel=1   ; trailing\r\n"
      "choseSYS=0\r\n"
      "\r\n"
      "[FilePath]\r\n"
      "QFMfile=/x/a.QFM\r\n";
  auto doc = ProfileDocument::Parse(original);
  doc.Set("CHECKINFO", "choseKernel", "0");  // replaced in place, caller's spelling
  doc.Set("checkinfo", "choseGPS", "1");     // appended after the section's last key
  doc.Set("ExdFile", "filename1", "apps");   // a new section at the end
  EXPECT_EQ(doc.Serialize(),
            "; comment stays\r\n"
            "[Language]\r\n"
            "currentLang=2052\r\n"
            "\r\n"
            "[checkinfo]\r\n"
            "choseKernel=0\r\n"
            "choseSYS=0\r\n"
            "choseGPS=1\r\n"
            "\r\n"
            "[FilePath]\r\n"
            "QFMfile=/x/a.QFM\r\n"
            "\r\n"
            "[ExdFile]\r\n"
            "filename1=apps\r\n");
  // LF-only files stay LF; a last line without an end gets one before an append.
  auto lf = ProfileDocument::Parse("[a]\nk=1");
  lf.Set("a", "j", "2");
  EXPECT_EQ(lf.Serialize(), "[a]\nk=1\nj=2\n");
}

TEST(ProfileFile, RoundTripsThroughDiskKeepingTheLegacyCodePage) {
  testing::TempDir dir;
  std::string path = dir / "downtoolcfg.ini";
  EXPECT_EQ(GetProfileInt(path, "Language", "currentLang", 2052), 2052);  // missing file
  ASSERT_TRUE(WriteProfileString(path, "Project", "phontype", "T745"));
  ASSERT_TRUE(WriteProfileString(path, "Language", "currentLang", "1033"));
  EXPECT_EQ(GetProfileString(path, "project", "PHONTYPE"), "T745");
  EXPECT_EQ(GetProfileInt(path, "language", "currentlang", 0), 1033);
  EXPECT_EQ(*ReadWholeFile(path), "[Project]\r\nphontype=T745\r\n\r\n[Language]\r\ncurrentLang=1033\r\n");

  // A GBK file (as written on the original platform) is read into UTF-8 and
  // written back in GBK, so the rest of it stays readable there.
  std::string gbk = "[Project]\r\nphontype=\xB2\xE2\xCA\xD4\r\n";  // "测试" in GBK
  ASSERT_TRUE(WriteWholeFile(path, gbk));
  EXPECT_EQ(GetProfileString(path, "Project", "phontype"), "测试");
  ASSERT_TRUE(WriteProfileString(path, "Project", "other", "机"));
  EXPECT_EQ(*ReadWholeFile(path), "[Project]\r\nphontype=\xB2\xE2\xCA\xD4\r\nother=\xBB\xFA\r\n");
}


TEST(ProfileFile, WritingBackKeepsEveryByteItDidNotChange) {
  testing::TempDir dir;
  std::string path = dir / "downtoolcfg.ini";
  struct Case {
    const char* what;
    std::string before, after;  // after setting [Project] phontype=T746
  } cases[] = {
      {"byte order mark and UTF-8", "\xEF\xBB\xBF[Project]\r\nphontype=T745\r\nname=机\r\n",
       "\xEF\xBB\xBF[Project]\r\nphontype=T746\r\nname=机\r\n"},
      // Bytes cp1252 leaves undefined (0x81, 0x9D) once made the whole file
      // be rewritten as UTF-8.
      {"cp1252 with undefined bytes", "[Station]\ncodePage=1252\n[Project]\nphontype=T745\nnote=caf\xE9 \x81\x9D\n",
       "[Station]\ncodePage=1252\n[Project]\nphontype=T746\nnote=caf\xE9 \x81\x9D\n"},
      {"no last line end, key added", "[Project]\nmodel=1", "[Project]\nmodel=1\nphontype=T746\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(WriteWholeFile(path, c.before));
    std::string why;
    ASSERT_TRUE(WriteProfileString(path, "project", "phontype", "T746", &why)) << why;
    EXPECT_EQ(*ReadWholeFile(path), c.after);
  }

  // A value the file's code page cannot hold is refused; the file stays.
  const std::string gbk = "[Project]\r\nphontype=\xB2\xE2\r\n";
  ASSERT_TRUE(WriteWholeFile(path, gbk));
  ProfileDocument doc = ProfileDocument::Load(path);
  ASSERT_EQ(doc.codepage(), Codepage::Gbk);
  doc.Set("Project", "phontype", "T745 \xF0\x9F\x93\xB1");  // a handset emoji
  EXPECT_EQ(doc.GetString("project", "PHONTYPE"), "T745 \xF0\x9F\x93\xB1");
  std::string why;
  EXPECT_FALSE(doc.Save(path, &why));
  EXPECT_NE(why.find("GBK"), std::string::npos) << why;
  EXPECT_EQ(*ReadWholeFile(path), gbk);

  // A file that was not read whole is never written over: one too large,
  // one whose bytes are not all valid in its code page.
  const std::string big = "[Project]\r\nphontype=T745\r\n" + std::string(kMaxProfileBytes, ';');
  const std::string tail = "[Project]\r\nphontype=\xB2\xE2\r\n\xFF\xFE\x80\x01junk";
  std::string late = "[Project]\n";
  for (int i = 0; i < 100000; ++i) late += "k=\xB2\xE2\n";
  late += "v=\xB2\n";
  for (auto [kept, reason] : {std::pair{&big, "larger than 1 MiB"}, {&tail, "its line 3 is not valid GBK"},
                              {&late, "its line 100002 is not valid GBK"}}) {
    ASSERT_TRUE(WriteWholeFile(path, *kept));
    EXPECT_FALSE(WriteProfileString(path, "Project", "phontype", "T746", &why));
    EXPECT_NE(why.find(reason), std::string::npos) << why;
    EXPECT_TRUE(*ReadWholeFile(path) == *kept);
  }
}

TEST(ProfileDocument, LookupsAgreeBeforeAndAfterLinesMove) {
  // The index built on reading and the scan used after an insert give the
  // same answers: first section of a name, first key in it, any case.
  auto doc = ProfileDocument::Parse("[A]\nk=1\nK=2\n[b]\nx=3\n[a]\nk=4\nonly=5\n");
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(doc.GetInt("a", "K", 0), 1);
    EXPECT_EQ(doc.GetInt("B", "X", 0), 3);
    EXPECT_FALSE(doc.Get("a", "only"));
    EXPECT_EQ(doc.Keys("a"), (std::vector<std::string>{"k"}));
  };
  check("read");
  doc.Set("b", "y", "6");  // inserted: lines move
  check("after an insert");
  EXPECT_EQ(doc.GetInt("b", "Y", 0), 6);
}

}  // namespace
}  // namespace flashery
