#include "sim/vendor_command.h"

#include <gtest/gtest.h>

#include <cstring>

#include "scripted_station.h"

namespace flashery::sim {
namespace {

using testing::Cdb;

DecodedCommand Decode(Stage stage, const Cdb& c, uint8_t direction = kDirNone,
                      uint32_t length = 0) {
  uint8_t raw[16];
  std::memcpy(raw, c.data(), 16);
  return DecodeCommand(stage, direction, length, raw);
}

Cdb FromHex(const char* text) {
  Cdb c{};
  for (int i = 0; i < 16; ++i) c[i] = static_cast<uint8_t>(std::strtoul(text + 3 * i, nullptr, 16));
  return c;
}

TEST(VendorCommand, SharedBytesAreReadByStageAndDirection) {
  // The same 16 bytes are FinishImages(1) in the download stage and
  // PrepareStorage(1) later.
  Cdb shared = FromHex("FF FF 03 01 00 00 00 00 01 00 00 00 00 00 00 00");
  EXPECT_EQ(Decode(Stage::kDownload, shared).kind, CommandKind::kFinishImages);
  EXPECT_EQ(Decode(Stage::kStorage, shared).kind, CommandKind::kPrepareStorage);
  // 03 02 with the data-in direction and no data is RestartHandset; the
  // direction of a zero-length command does not matter.
  Cdb restart = FromHex("FF FF 03 02 00 00 00 00 01 00 00 00 00 00 00 00");
  EXPECT_EQ(Decode(Stage::kDownload, restart, kDirFromDevice, 0).kind, CommandKind::kRestartHandset);
  EXPECT_TRUE(Decode(Stage::kDownload, restart, kDirFromDevice, 0).ok());
  Cdb e = FromHex("FF FF 05 05 00 00 00 00 10 00 00 00 C3 31 90 86");
  EXPECT_EQ(Decode(Stage::kDownload, e).kind, CommandKind::kEndImage);
  EXPECT_FALSE(Decode(Stage::kDownload, e).ok());  // bytes 14-15 belong to no image field
  auto endFile = Decode(Stage::kStorage, e);
  EXPECT_EQ(endFile.kind, CommandKind::kEndFile);
  EXPECT_EQ(endFile.value, 16u);
  EXPECT_EQ(endFile.fileCheck, 0x869031C3u);
  Cdb q = FromHex("FF FF 05 01 09 00 00 00 00 00 00 00 00 00 00 00");
  EXPECT_EQ(Decode(Stage::kStorage, q, kDirToDevice, 9).kind, CommandKind::kCreateFolder);
  // Sequence bytes belong to file blocks only.
  Cdb seq = FromHex("FF FF 05 03 00 FE 00 00 00 00 00 00 09 00 00 00");
  EXPECT_EQ(Decode(Stage::kStorage, seq, kDirToDevice, 0xFE00).sequence, 9);
  EXPECT_FALSE(Decode(Stage::kDownload, seq, kDirToDevice, 0xFE00).ok());
}

TEST(VendorCommand, LayoutFaultsAreNamed) {
  struct Row {
    Stage stage;
    const char* hex;
    uint8_t direction;
    uint32_t length;
    const char* expect;  // part of the error
  };
  const Row rows[] = {
      {Stage::kDownload, "FF FE 05 06 00 00 00 00 01 00 00 00 00 00 00 00", 0, 0, "not a vendor command"},
      {Stage::kDownload, "FF FF 09 01 00 00 00 00 00 00 00 00 00 00 00 00", 0, 0, "unknown command"},
      {Stage::kDownload, "FF FF 01 01 00 00 00 00 00 00 00 00 00 00 00 01", 0, 0, "byte 15"},
      {Stage::kDownload, "FF FF 05 06 00 00 00 00 02 00 00 00 00 00 00 00", 0, 0, "byte 8 must be 1"},
      {Stage::kSecond, "FF FF 02 06 00 00 00 00 01 00 00 00 00 00 00 00", 0, 0, "byte 8 must be 3"},
      {Stage::kDownload, "FF FF 05 02 00 00 00 00 05 01 00 00 00 00 00 00", 0, 0, "byte 9"},
      {Stage::kDownload, "FF FF 05 03 00 FE 00 00 00 00 00 00 00 00 00 00", 1, 0xFD00, "bytes 4-5 say"},
      {Stage::kDownload, "FF FF 05 03 01 FE 00 00 00 00 00 00 00 00 00 00", 1, 0xFE01, "exceeds"},
      {Stage::kDownload, "FF FF 05 03 00 00 00 00 00 00 00 00 00 00 00 00", 1, 0, "is 0"},
      {Stage::kDownload, "FF FF 05 03 10 00 00 00 02 00 00 00 00 00 00 00", 1, 16, "last-block byte"},
      {Stage::kDownload, "FF FF 05 03 10 00 00 00 00 00 00 00 00 00 00 00", 2, 16, "must send data"},
      {Stage::kDownload, "FF FF 05 01 00 00 00 00 00 00 00 00 00 00 00 00", 2, 8, "reads 8 bytes"},
      {Stage::kDownload, "FF FF 05 01 00 00 00 00 00 00 00 00 00 00 00 00", 0, 0, "must read data"},
      {Stage::kStorage, "FF FF 03 06 00 00 00 00 01 00 00 00 00 00 00 00", 0, 0, "storage mode 6"},
      {Stage::kStorage, "FF FF 03 02 00 00 00 00 03 00 00 00 00 00 00 00", 0, 0, "bytes 8-9 must be 1"},
      {Stage::kStorage, "FF FF 03 02 00 02 00 00 02 00 00 00 00 00 00 00", 2, 1024, "0x0400"},
      {Stage::kStorage, "FF FF 04 01 31 00 00 00 02 00 00 00 00 00 00 00", 2, 50, "0x32"},
      {Stage::kStorage, "FF FF 04 01 00 00 00 00 03 00 00 00 00 00 00 00", 0, 0, "start) or 2"},
      {Stage::kStorage, "FF FF 05 02 04 01 00 00 00 00 00 00 00 00 00 00", 1, 260, "exceeds 259"},
      {Stage::kDownload, "FF FF 05 08 00 00 00 00 05 00 00 00 08 01 01 02", 0, 0, "last-segment"},
      {Stage::kDownload, "FF FF 04 03 00 00 00 00 00 00 00 00 00 00 00 00", 1, 4, "no data phase"},
  };
  for (const Row& r : rows) {
    auto d = Decode(r.stage, FromHex(r.hex), r.direction, r.length);
    EXPECT_FALSE(d.ok()) << r.hex;
    EXPECT_NE(d.error.find(r.expect), std::string::npos) << r.hex << " gave: " << d.error;
  }
}

TEST(VendorCommand, NamesLookUpWithoutRegardToCase) {
  EXPECT_EQ(CommandKindFromName("endfile"), CommandKind::kEndFile);
  EXPECT_FALSE(CommandKindFromName("WriteBlocks"));
  for (int k = 1; k < kCommandKindCount; ++k)
    EXPECT_EQ(CommandKindFromName(CommandName(static_cast<CommandKind>(k))), static_cast<CommandKind>(k));
}

}  // namespace
}  // namespace flashery::sim
