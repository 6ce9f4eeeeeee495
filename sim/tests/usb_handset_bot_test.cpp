// The bulk-only transport framing and the function's descriptors, byte by
// byte: what the kernel's usb-storage driver and FunctionFS read.
#include "sim/usb_handset_bot.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/usb_handset_ffs.h"
#include "sim/vendor_command.h"

namespace flashery::sim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Wrapper(uint32_t length, uint8_t flags, uint8_t lun, uint8_t cbLength, uint32_t signature = kCbwSignature) {
  Bytes b(kCbwBytes, 0);
  for (int i = 0; i < 4; ++i) {
    b[i] = static_cast<uint8_t>(signature >> (8 * i));
    b[4 + i] = static_cast<uint8_t>(0xA1B2C3D4u >> (8 * i));
    b[8 + i] = static_cast<uint8_t>(length >> (8 * i));
  }
  b[12] = flags;
  b[13] = lun;
  b[14] = cbLength;
  for (int i = 0; i < 16; ++i) b[15 + i] = static_cast<uint8_t>(0xF0 + i);
  return b;
}

TEST(UsbHandsetBot, CommandWrappersAreTakenOnlyWhenValidAndMeaningful) {
  struct Row {
    const char* what;
    Bytes bytes;
    bool ok;
    uint8_t direction;
    const char* error;
  };
  Bytes longer = Wrapper(0, 0, 0, 16);
  longer.push_back(0);
  const Row rows[] = {
      {"data to the host", Wrapper(36, 0x80, 0, 6), true, kDirFromDevice, ""},
      {"data to the handset", Wrapper(65024, 0x00, 0, 16), true, kDirToDevice, ""},
      {"no data, whatever the flag", Wrapper(0, 0x80, 0, 16), true, kDirNone, ""},
      {"short", Bytes(30, 0), false, kDirNone, "30 bytes"},
      {"long", longer, false, kDirNone, "32 bytes"},
      {"signature", Wrapper(0, 0, 0, 16, kCswSignature), false, kDirNone, "signature 0x53425355"},
      {"reserved flag bits", Wrapper(0, 0x81, 0, 16), false, kDirNone, "reserved flag bits 0x01"},
      {"another LUN", Wrapper(0, 0, 1, 16), false, kDirNone, "LUN byte 0x01"},
      {"empty block", Wrapper(0, 0, 0, 0), false, kDirNone, "block length 0"},
      {"block too long", Wrapper(0, 0, 0, 17), false, kDirNone, "block length 17"},
  };
  for (const Row& r : rows) {
    CbwParse p = ParseCbw(r.bytes.data(), r.bytes.size());
    EXPECT_EQ(p.ok, r.ok) << r.what;
    if (!r.ok) {
      EXPECT_NE(p.error.find(r.error), std::string::npos) << r.what << ": " << p.error;
      continue;
    }
    EXPECT_EQ(p.cbw.tag, 0xA1B2C3D4u) << r.what;
    EXPECT_EQ(p.cbw.direction(), r.direction) << r.what;
    // Bytes past the block length are not the command's.
    EXPECT_EQ(p.cbw.cdb[p.cbw.cdbLength - 1], 0xF0 + p.cbw.cdbLength - 1) << r.what;
    if (p.cbw.cdbLength < 16) {
      EXPECT_EQ(p.cbw.cdb[p.cbw.cdbLength], 0) << r.what;
    }
  }
}

TEST(UsbHandsetBot, StatusWrapperCarriesTagResidueAndStatus) {
  auto csw = BuildCsw(0x11223344, 0x00010203, CswStatus::kFailed);
  EXPECT_EQ(Bytes(csw.begin(), csw.end()),
            (Bytes{0x55, 0x53, 0x42, 0x53, 0x44, 0x33, 0x22, 0x11, 0x03, 0x02, 0x01, 0x00, 0x01}));
}

TEST(UsbHandsetBot, DescriptorsDescribeOneBulkOnlyInterfaceAtBothSpeeds) {
  Bytes d = FunctionDescriptors();
  ASSERT_EQ(d.size(), 20u + 2 * (9 + 7 + 7));
  EXPECT_EQ(d[4], d.size());  // length field
  EXPECT_EQ(d[8], 3);         // full and high speed
  for (size_t at : {size_t(20), size_t(43)}) {
    EXPECT_EQ(Bytes(d.begin() + at, d.begin() + at + 9), (Bytes{9, 4, 0, 0, 2, 0x08, 0x06, 0x50, 1}));
    EXPECT_EQ(d[at + 11], 0x81);  // bulk IN
    EXPECT_EQ(d[at + 18], 0x02);  // bulk OUT
  }
  EXPECT_EQ(d[20 + 13] | d[20 + 14] << 8, 64);
  EXPECT_EQ(d[43 + 13] | d[43 + 14] << 8, 512);

  Bytes s = FunctionStrings("ab");
  EXPECT_EQ(s, (Bytes{2, 0, 0, 0, 21, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0x09, 0x04, 'a', 'b', 0}));
}

}  // namespace
}  // namespace flashery::sim
