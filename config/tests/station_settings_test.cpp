#include <gtest/gtest.h>

#include "config/station_settings.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(StationSettings, ReadsTheValuesAndFallsBackToTheDefaults) {
  struct Case {
    const char* file;  // nullptr: no settings file
    uint32_t gone;
    bool sound;
  } cases[] = {
      {nullptr, 10, true},
      {"[Station]\r\ngoneFailSeconds=25\r\nfailureSound=0\r\n", 25, false},
      {"[station]\nGONEFAILSECONDS = 0\n", 0, true},  // 0 turns the rule off
      {"[Station]\ngoneFailSeconds=abc\nfailureSound=yes\n", 10, true},
      {"[Station]\ngoneFailSeconds=-5\nfailureSound=2\n", 10, true},
      {"[Station]\ngoneFailSeconds=3601\n", 10, true},
      {"[Station]\ngoneFailSeconds=12x\n", 10, true},
      {"[Station]\ngoneFailSeconds=\n", 10, true},
      {"[Language]\ngoneFailSeconds=3\nfailureSound=0\n", 10, true},  // another section's keys
  };
  for (const Case& c : cases) {
    testing::TempDir dir;
    if (c.file) {
      ASSERT_TRUE(WriteWholeFile(dir / "downtoolcfg.ini", c.file));
    }
    StationSettings s = LoadStationSettings(dir.path());
    EXPECT_EQ(s.goneFailSeconds, c.gone) << (c.file ? c.file : "(none)");
    EXPECT_EQ(s.failureSound, c.sound) << (c.file ? c.file : "(none)");
  }
}

}  // namespace
}  // namespace flashery
