#include <gtest/gtest.h>

#include "package/crc16.h"
#include "package/tests/package_fixture.h"

namespace flashery {
namespace {

using K = QfmSectionKey;
using testing::Pattern;

uint32_t LeU32(const std::string& b, size_t at) {
  return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 | uint32_t(uint8_t(b[at + 2])) << 16 |
         uint32_t(uint8_t(b[at + 3])) << 24;
}
uint32_t Crc(const std::string& s) { return Crc16Update(reinterpret_cast<const uint8_t*>(s.data()), s.size(), 0); }

class WritePackageTest : public testing::PackageTest {};

// The layout written, read back at the literal offsets of the format.
TEST_F(WritePackageTest, PlacesFieldsAtTheFormatsOffsets) {
  const std::string bl = Pattern(100, 1), mlo = Pattern(7, 2), sys = Pattern(3000, 3), ext = Pattern(11, 4),
                    rec = Pattern(5, 5);
  PackageContents contents{"T745", "1.0", {}};
  contents.inputs = {{K::Recovery, Input("rec", rec), ""},
                 {K::System, Input("sys", sys), "system.img"},
                 {ExtendKey(3), Input("ext", ext), "apps.zip"},
                 {K::MLO, Input("mlo", mlo), ""},
                 {K::BL, Input("bl", bl), "eboot"}};
  const std::string path = Write(contents);
  const std::string b = ReadWholeFile(path).value();
  ASSERT_EQ(b.size(), 828 + 100 + 7 + 3000 + 11 + 5);

  EXPECT_EQ(b.substr(0, 4), std::string("QF\x01\x02", 4));
  EXPECT_EQ(b.substr(0x004, 5), std::string("T745\0", 5));
  EXPECT_EQ(b.substr(0x026, 4), std::string("1.0\0", 4));
  EXPECT_EQ(LeU32(b, 0x05C), b.size());
  // Present bytes BL, NK, MLO, userdata, system, Evn, cache, Recovery, Extend 1..5.
  EXPECT_EQ(b.substr(0x080, 13), std::string("\x01\x00\x01\x00\x01\x00\x00\x01\x01\x00\x00\x00\x00", 13));
  // Sections follow the header in check order: BL, MLO, system, Extend 1, Recovery.
  EXPECT_EQ(LeU32(b, 0x0B4), 828u);
  EXPECT_EQ(LeU32(b, 0x0B8), 100u);
  EXPECT_EQ(LeU32(b, 0x0BC), Crc(bl));
  EXPECT_EQ(b.substr(0x094, 6), std::string("eboot\0", 6));
  EXPECT_EQ(LeU32(b, 0x0EC), 928u);
  EXPECT_EQ(LeU32(b, 0x0F4), Crc(mlo));
  EXPECT_EQ(b.substr(0x0F8, 11), std::string("system.img\0", 11));
  EXPECT_EQ(LeU32(b, 0x118), 935u);
  EXPECT_EQ(LeU32(b, 0x120), Crc(sys));
  EXPECT_EQ(LeU32(b, 0x194), 3935u);  // Extend 1 offset
  EXPECT_EQ(LeU32(b, 0x1A8), 11u);    // Extend 1 size
  EXPECT_EQ(LeU32(b, 0x1BC), Crc(ext));
  EXPECT_EQ(b.substr(0x20A, 9), std::string("apps.zip\0", 9));
  EXPECT_EQ(LeU32(b, 0x17C), 3946u);
  EXPECT_EQ(LeU32(b, 0x184), Crc(rec));
  EXPECT_EQ(LeU32(b, 0x338), Crc(b.substr(0, 0x338)));
  EXPECT_EQ(b.substr(3946), rec);
  EXPECT_EQ(b.substr(935, 3000), sys);
  for (auto [at, n] : {std::pair{0x060, 32}, {0x08D, 7}, {0x124, 32}, {0x15C, 32}, {0x1D0, 58}, {0x2A0, 152}}) {
    EXPECT_EQ(b.substr(at, n), std::string(n, '\0')) << at;
  }
  // Names go out in the package's code page.
  PackageContents chinese{"T745", "版本一", {}};
  const std::string b2 = ReadWholeFile(Write(chinese, "cn.qfm")).value();
  EXPECT_EQ(b2.substr(0x026, 7), std::string("\xB0\xE6\xB1\xBE\xD2\xBB\0", 7));
}

TEST_F(WritePackageTest, RefusesWhatTheFormatCannotHold) {
  const std::string in = Input("in", "x");
  struct Case {
    const char* what;
    PackageContents contents;
  };
  std::vector<Case> cases = {
      {"long product", {std::string(34, 'P'), "v", {}}},
      {"long version", {"p", std::string(54, 'v'), {}}},
      {"long name", {"p", "v", {{K::BL, in, std::string(32, 'n')}}}},
      {"long extend name", {"p", "v", {{K::Extend1, in, std::string(30, 'n')}}}},
      {"extend without name", {"p", "v", {{K::Extend1, in, ""}}}},
      {"name on MLO", {"p", "v", {{K::MLO, in, "mlo"}}}},
      {"twice", {"p", "v", {{K::NK, in, ""}, {K::NK, in, ""}}}},
      {"missing input", {"p", "v", {{K::NK, dir_ / "nothing", ""}}}},
      {"folder input", {"p", "v", {{K::NK, dir_.path(), ""}}}},
      {"not encodable", {"p\xF0\x9F\x98\x80", "v", {}}},
  };
  PackageContents six{"p", "v", {}};
  for (int i = 0; i < 6; ++i) six.inputs.push_back({K::Extend1, in, "e" + std::to_string(i)});
  cases.push_back({"six extends", six});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string out = dir_ / "out.qfm";
    PackageWriteResult r = WritePackage(out, c.contents);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    EXPECT_FALSE(PathExists(out));
    EXPECT_FALSE(PathExists(out + ".partial"));
  }
  // Exactly at the limits is fine.
  PackageContents edge{std::string(33, 'P'), std::string(53, 'v'), {{K::Extend1, in, std::string(29, 'n')}}};
  EXPECT_TRUE(WritePackage(dir_ / "edge.qfm", edge).ok);
}

}  // namespace
}  // namespace flashery
