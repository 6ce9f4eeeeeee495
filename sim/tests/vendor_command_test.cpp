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

TEST(VendorCommand, BlocksFromTheCommandTableDecodeWithTheirFields) {
  // The same 16 bytes are FinishImages(1) in the download stage and
  // PrepareStorage(1) in the storage stage.
  Cdb shared = FromHex("FF FF 03 01 00 00 00 00 01 00 00 00 00 00 00 00");
  auto finish = Decode(Stage::kDownload, shared);
  EXPECT_EQ(finish.kind, CommandKind::kFinishImages);
  EXPECT_TRUE(finish.ok()) << finish.error;
  EXPECT_EQ(finish.flag, 1);
  auto prepare = Decode(Stage::kStorage, shared);
  EXPECT_EQ(prepare.kind, CommandKind::kPrepareStorage);
  EXPECT_TRUE(prepare.ok()) << prepare.error;
  EXPECT_EQ(prepare.code, 1);

  auto begin = Decode(Stage::kDownload, FromHex("FF FF 05 02 00 00 00 00 05 00 78 56 34 12 00 00"));
  EXPECT_EQ(begin.kind, CommandKind::kBeginImage);
  EXPECT_TRUE(begin.ok());
  EXPECT_EQ(begin.code, 5);
  EXPECT_EQ(begin.value, 0x12345678u);

  auto commit = Decode(Stage::kDownload, FromHex("FF FF 05 08 00 00 00 00 05 00 00 00 08 01 02 01"));
  EXPECT_EQ(commit.kind, CommandKind::kCommitSegment);
  EXPECT_TRUE(commit.ok());
  EXPECT_EQ(commit.value, 0x01080000u);
  EXPECT_EQ(commit.number, 2);
  EXPECT_EQ(commit.flag, 1);

  auto block = Decode(Stage::kDownload, FromHex("FF FF 05 03 39 30 CD AB 01 00 00 00 00 00 00 00"),
                      kDirToDevice, 12345);
  EXPECT_EQ(block.kind, CommandKind::kWriteBlock);
  EXPECT_TRUE(block.ok()) << block.error;
  EXPECT_EQ(block.length, 12345);
  EXPECT_EQ(block.blockCheck, 0xABCD);
  EXPECT_EQ(block.flag, 1);

  auto fileBlock = Decode(Stage::kStorage, FromHex("FF FF 05 03 00 FE 00 00 00 00 00 00 09 00 00 00"),
                          kDirToDevice, 0xFE00);
  EXPECT_TRUE(fileBlock.ok()) << fileBlock.error;
  EXPECT_EQ(fileBlock.sequence, 9);
  // The same sequence bytes are not allowed in an image block.
  EXPECT_FALSE(Decode(Stage::kDownload, FromHex("FF FF 05 03 00 FE 00 00 00 00 00 00 09 00 00 00"),
                      kDirToDevice, 0xFE00).ok());

  auto folder = Decode(Stage::kStorage, FromHex("FF FF 05 01 09 00 00 00 00 00 00 00 00 00 00 00"),
                       kDirToDevice, 9);
  EXPECT_EQ(folder.kind, CommandKind::kCreateFolder);
  EXPECT_TRUE(folder.ok());
  auto query = Decode(Stage::kStorage, FromHex("FF FF 05 01 00 00 00 00 00 00 00 00 00 00 00 00"),
                      kDirFromDevice, 4);
  EXPECT_EQ(query.kind, CommandKind::kQueryState);
  EXPECT_TRUE(query.ok());

  auto poll = Decode(Stage::kStorage, FromHex("FF FF 04 01 32 00 00 00 02 00 00 00 00 00 00 00"),
                     kDirFromDevice, 50);
  EXPECT_EQ(poll.kind, CommandKind::kPollCompletion);
  EXPECT_TRUE(poll.ok());

  auto endFile = Decode(Stage::kStorage, FromHex("FF FF 05 05 00 00 00 00 10 00 00 00 C3 31 90 86"));
  EXPECT_EQ(endFile.kind, CommandKind::kEndFile);
  EXPECT_EQ(endFile.value, 16u);
  EXPECT_EQ(endFile.fileCheck, 0x869031C3u);

  // RestartHandset comes with the data-in direction and length 0; the
  // direction of a zero-length command does not matter.
  auto restart = Decode(Stage::kDownload, FromHex("FF FF 03 02 00 00 00 00 01 00 00 00 00 00 00 00"),
                        kDirFromDevice, 0);
  EXPECT_EQ(restart.kind, CommandKind::kRestartHandset);
  EXPECT_TRUE(restart.ok());
  auto pollStorage = Decode(Stage::kStorage, FromHex("FF FF 03 05 00 04 00 00 02 00 00 00 00 00 00 00"),
                            kDirFromDevice, 1024);
  EXPECT_EQ(pollStorage.kind, CommandKind::kPollStorage);
  EXPECT_TRUE(pollStorage.ok());
  EXPECT_EQ(pollStorage.code, 5);
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
  EXPECT_EQ(CommandKindFromName("WriteBlock"), CommandKind::kWriteBlock);
  EXPECT_FALSE(CommandKindFromName("Unknown"));
  EXPECT_FALSE(CommandKindFromName("WriteBlocks"));
  for (int k = 1; k < kCommandKindCount; ++k)
    EXPECT_EQ(CommandKindFromName(CommandName(static_cast<CommandKind>(k))), static_cast<CommandKind>(k));
}

}  // namespace
}  // namespace flashery::sim
