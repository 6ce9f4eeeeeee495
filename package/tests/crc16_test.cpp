#include "package/crc16.h"

#include <gtest/gtest.h>

#include <string>

namespace flashery {
namespace {

uint32_t Crc(const std::string& s, uint32_t init = 0) {
  return Crc16Update(reinterpret_cast<const uint8_t*>(s.data()), s.size(), init);
}

TEST(Crc16, KnownValues) {
  EXPECT_EQ(Crc("123456789"), 0x869031C3u);
  EXPECT_EQ(Crc("abc"), 0x7C749DD6u);
  EXPECT_EQ(Crc("A"), 0x000058E5u);
  EXPECT_EQ(Crc("56789", Crc("1234")), 0x869031C3u);
  EXPECT_EQ(Crc("", 0xDEADBEEFu), 0xDEADBEEFu);
}

}  // namespace
}  // namespace flashery
