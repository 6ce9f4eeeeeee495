#include "sim/handset_names.h"

#include <gtest/gtest.h>

namespace flashery::sim {
namespace {

TEST(HandsetNames, GoodNamesMapBelowTheirArea) {
  struct Row {
    const char* name;
    const char* path;
  };
  const Row rows[] = {
      {"//udisk//ring//a.mp3", "udisk/ring/a.mp3"},
      {"//gpsdata//maps//city//a.dat", "gpsdata/maps/city/a.dat"},
      {"//udisk//铃声//b c.mp3", "udisk/铃声/b c.mp3"},
      {"//quillon", "quillon"},
      {"//udisk//...x", "udisk/...x"},
  };
  for (const Row& r : rows) {
    HandsetName n = ParseHandsetName(r.name);
    EXPECT_TRUE(n.ok()) << r.name << ": " << n.error;
    EXPECT_EQ(StorageRelativePath(n), r.path);
  }
}

TEST(HandsetNames, HostileNamesAreRefused) {
  const std::string rows[] = {
      "",
      "udisk//a",                // no leading //
      "/udisk//a",
      "//udisk//..//..//etc",    // climbing out
      "//udisk//.//a",
      "//udisk///a",             // single slash inside
      "//udisk//a\\b",
      "//udisk//",               // empty last component
      "////a",
      std::string("//udisk//a\0b", 12),
      "//udisk//a\x01",
      "//udisk//\xC0\xAF",       // overlong '/'
      "//udisk//\xED\xA0\x80",   // surrogate
      "//udisk//\xFF",
      "//" + std::string(256, 'a'),
      "//udisk//" + std::string(251, 'a'),  // 260 bytes
  };
  for (const std::string& name : rows) {
    HandsetName n = ParseHandsetName(name);
    EXPECT_FALSE(n.ok()) << Printable(name);
  }
  EXPECT_TRUE(ParseHandsetName("//udisk//" + std::string(250, 'a')).ok());  // 259 bytes
}

TEST(HandsetNames, PrintableEscapesWhatIsNotText) {
  EXPECT_EQ(Printable("ab\x01" "c\xFF"), "ab\\x01c\\xFF");
  EXPECT_EQ(Printable("铃声"), "铃声");
  EXPECT_EQ(Printable("\xE9\x93"), "\\xE9\\x93");
}

}  // namespace
}  // namespace flashery::sim
