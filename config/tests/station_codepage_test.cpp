#include <gtest/gtest.h>

#include "config/station_codepage.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(StationCodepage, ReadsTheSettingAndFallsBackToGbk) {
  struct Case {
    const char* file;  // nullptr: no settings file
    Codepage expected;
  } cases[] = {
      {nullptr, Codepage::Gbk},
      {"[Station]\r\ncodePage=950\r\n", Codepage::Big5},
      {"[station]\nCODEPAGE = 1252\n", Codepage::Cp1252},
      {"[Station]\ncodePage=936\n", Codepage::Gbk},
      {"[Station]\ncodePage=65001\n", Codepage::Gbk},  // not one of the station's
      {"[Station]\ncodePage=-950\n", Codepage::Gbk},
      {"[Station]\ncodePage=\n", Codepage::Gbk},
      {"[Station]\ncodePage=big5\n", Codepage::Gbk},
      {"[Language]\ncodePage=950\n", Codepage::Gbk},  // another section's key
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    if (c.file) {
      ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini", c.file));
    }
    EXPECT_EQ(StationCodepage(dir.path()), c.expected) << (c.file ? c.file : "(none)");
  }
}

}  // namespace
}  // namespace flashery
