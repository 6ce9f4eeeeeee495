#include <gtest/gtest.h>

#include "filesets/gps_scan.h"
#include "filesets/list_codepage.h"
#include "filesets/list_examine.h"
#include "filesets/tests/scan_fixture.h"
#include "text/text_ids.h"

namespace flashery {
namespace {

using testing::Crlf;
using testing::Gbk;
using testing::PutFile;
using testing::ScanBench;

TEST(ListCodepage, AListIsReadInItsDeclaredEncodingOnly) {
  const std::string bom = "\xEF\xBB\xBF";
  struct Row {
    std::string bytes;
    Codepage system;
    std::vector<std::string> records;
  } rows[] = {
      // GBK names that are valid UTF-8 as well stay GBK without a mark.
      {"\xCF\xB5\xCD\xB3.txt;1byte\r\n", Codepage::Gbk, {"系统.txt;1byte"}},
      {"\xE4\xB8\x81\xE4\xB8\x81.bin;1byte\r\n", Codepage::Gbk, {"涓佷竵.bin;1byte"}},
      {bom + "\xE4\xB8\x81\xE4\xB8\x81.bin;1byte\r\n", Codepage::Gbk, {"丁丁.bin;1byte"}},
      {"\xD5\x5C.txt;1byte\n", Codepage::Gbk, {"誠.txt;1byte"}},  // trail byte 0x5C
      {"\xBA\x71.mp3;3byte\n", Codepage::Big5, {"歌.mp3;3byte"}},
      // Mixed line ends: CR LF and LF end a line, a lone CR stays in it.
      {"a\r\nb\nc\r\r\nd", Codepage::Gbk, {"a", "b", "c\r", "d"}},
      // Not valid in the declared encoding: never half-read.
      {"ok;1byte\r\n\xFF\xFF;1byte\r\n", Codepage::Gbk, {std::string(1, '\0')}},
      {bom + "\xCF;1byte\r\n", Codepage::Gbk, {std::string(1, '\0')}},
  };
  for (const Row& r : rows) EXPECT_EQ(ReadListRecords(r.bytes, r.system), r.records) << r.bytes;
  EXPECT_EQ(DetectListCodepage("\xE4\xB8\x81", Codepage::Big5), Codepage::Big5);
  EXPECT_EQ(DetectListCodepage(bom + "x", Codepage::Gbk), Codepage::Utf8);
  EXPECT_EQ(EncodeForList("a😀b", Codepage::Gbk), std::nullopt);
  EXPECT_EQ(EncodeForList("系统", Codepage::Gbk), std::optional<std::string>("\xCF\xB5\xCD\xB3"));

  testing::TempDir t;
  WriteWholeFile(t / "bad.txt", "FILE: x\r\n\xFF\xFF;1byte\r\n");
  ListProbe p = ExamineList(t / "bad.txt", "x");
  EXPECT_FALSE(p.ok);
  EXPECT_TRUE(p.undecodable);
}

// A set's names as found on disk against its reference list from the
// original platform (GBK), through the whole GPS check.
TEST(ListCodepage, GpsCheckOfNamesThatAreValidInBothEncodings) {
  struct Case {
    const char* extraName;  // written under QUILMAP/navidat
    bool inReference;       // the reference list names it (GBK)
    int failure;            // -1: accepted
  } cases[] = {
      {"涓佷竵.bin", true, -1},
      {"系统.bin", true, -1},
      {"emoji😀.bin", false, kTextGpsListingFailed},
      {"a\\b.bin", false, kTextGpsListingFailed},
  };
  for (const Case& c : cases) {
    ScanBench b;
    testing::MakeGpsSet(b.root());
    std::string q = b.root() + "/GPS/QUILMAP";
    PutFile(q, std::string("navidat/") + c.extraName, "A");
    std::string extra = c.inReference ? std::string("QUILMAP\\navidat\\") + c.extraName + ";1byte;0x000058e5\n" : "";
    PutFile(q, "quilfile_pc.txt", Crlf(Gbk("FILE: QUILMAP\\archives\n"
                                           "QUILMAP\\archives\\a.dat;3byte;0x7c749dd6\n"
                                           "FILE: QUILMAP\\bin\n"
                                           "FILE: QUILMAP\\configdat\n"
                                           "FILE: QUILMAP\\navidat\n"
                                           "QUILMAP\\navidat\\n.dat;1byte;0x000058e5\n" +
                                           extra)));
    SetScanResult r = GpsScanJob(b.Context());
    EXPECT_EQ(r.ok, c.failure < 0) << c.extraName << " " << r.message.textId << r.message.detail;
    if (c.failure >= 0) {
      EXPECT_EQ(r.message.textId, c.failure);
      EXPECT_NE(r.message.detail.find(c.extraName), std::string::npos) << r.message.detail;
    }
  }
  // An undecodable reference list is refused by its path.
  ScanBench b;
  testing::MakeGpsSet(b.root());
  PutFile(b.root() + "/GPS/QUILMAP", "quilfile_pc.txt", "FILE: QUILMAP\\bin\r\n\xFF\xFF\r\n");
  SetScanResult r = GpsScanJob(b.Context());
  EXPECT_EQ(r.message.textId, kTextGpsListingFailed);
  EXPECT_NE(r.message.detail.find("quilfile_pc.txt"), std::string::npos);
}

}  // namespace
}  // namespace flashery
