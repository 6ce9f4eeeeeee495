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

  // A GBK file (as written on the original platform) is read as UTF-8 and
  // written back in GBK, so the rest of it stays readable there.
  std::string gbk = "[Project]\r\nphontype=\xB2\xE2\xCA\xD4\r\n";  // "测试" in GBK
  ASSERT_TRUE(WriteWholeFile(path, gbk));
  EXPECT_EQ(GetProfileString(path, "Project", "phontype"), "测试");
  ASSERT_TRUE(WriteProfileString(path, "Project", "other", "机"));
  EXPECT_EQ(*ReadWholeFile(path), "[Project]\r\nphontype=\xB2\xE2\xCA\xD4\r\nother=\xBB\xFA\r\n");
}

}  // namespace
}  // namespace flashery
