#include "device/vendor_command.h"

#include <gtest/gtest.h>

#include <string>

namespace flashery {
namespace {

using Bytes = std::array<uint8_t, kCdbLength>;
constexpr auto kNone = DataDirection::kNone;
constexpr auto kIn = DataDirection::kFromDevice;
constexpr auto kOut = DataDirection::kToDevice;

struct Row {
  VendorCommand command;
  Bytes bytes;
  DataDirection direction;
  uint32_t length;
};

// Every command the station sends, with its bytes as the handset reads
// them: FF FF group sub, then little-endian parameters.
TEST(VendorCommand, EveryCommandHasItsExactBytesDirectionAndLength) {
  const Row rows[] = {
      {CheckAliveCommand(), {0xFF, 0xFF, 0x01, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {SelectModeCommand(), {0xFF, 0xFF, 0x02, 0x06, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}, kIn, 0},
      {FinishImagesCommand(false), {0xFF, 0xFF, 0x03, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {FinishImagesCommand(true), {0xFF, 0xFF, 0x03, 0x01, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {RestartHandsetCommand(false), {0xFF, 0xFF, 0x03, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kIn, 0},
      {RestartHandsetCommand(true), {0xFF, 0xFF, 0x03, 0x02, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kIn, 0},
      {PrepareStorageCommand(1), {0xFF, 0xFF, 0x03, 0x01, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {PrepareStorageCommand(5), {0xFF, 0xFF, 0x03, 0x05, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {PollStorageCommand(2), {0xFF, 0xFF, 0x03, 0x02, 0x00, 0x04, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, kIn, 1024},
      {StartCompletionCommand(), {0xFF, 0xFF, 0x04, 0x01, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {PollCompletionCommand(), {0xFF, 0xFF, 0x04, 0x01, 0x32, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0}, kIn, 50},
      {FinishFileSetsCommand(), {0xFF, 0xFF, 0x04, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {QueryStateCommand(), {0xFF, 0xFF, 0x05, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kIn, 4},
      {CreateFolderCommand(9), {0xFF, 0xFF, 0x05, 0x01, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kOut, 9},
      {BeginImageCommand(5, 0x12345678),
       {0xFF, 0xFF, 0x05, 0x02, 0, 0, 0, 0, 5, 0, 0x78, 0x56, 0x34, 0x12, 0, 0}, kNone, 0},
      {BeginFileCommand(0x0123), {0xFF, 0xFF, 0x05, 0x02, 0x23, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kOut, 0x123},
      {WriteImageBlockCommand(0xFE00, 0xBEEF, false),
       {0xFF, 0xFF, 0x05, 0x03, 0x00, 0xFE, 0xEF, 0xBE, 0, 0, 0, 0, 0, 0, 0, 0}, kOut, 65024},
      {WriteImageBlockCommand(12345, 0x1234, true),
       {0xFF, 0xFF, 0x05, 0x03, 0x39, 0x30, 0x34, 0x12, 1, 0, 0, 0, 0, 0, 0, 0}, kOut, 12345},
      {WriteFileBlockCommand(100, 0xA55A, false, 9),
       {0xFF, 0xFF, 0x05, 0x03, 100, 0, 0x5A, 0xA5, 0, 0, 0, 0, 9, 0, 0, 0}, kOut, 100},
      {WriteFileBlockCommand(1, 0x0408, true, 1),
       {0xFF, 0xFF, 0x05, 0x03, 1, 0, 0x08, 0x04, 1, 0, 0, 0, 1, 0, 0, 0}, kOut, 1},
      {AbortImageCommand(), {0xFF, 0xFF, 0x05, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {EndImageCommand(8, 0x00A0B0C0),
       {0xFF, 0xFF, 0x05, 0x05, 0, 0, 0, 0, 8, 0, 0xC0, 0xB0, 0xA0, 0x00, 0, 0}, kNone, 0},
      {EndFileCommand(0x01020304, 0xAABBCCDD),
       {0xFF, 0xFF, 0x05, 0x05, 0, 0, 0, 0, 0x04, 0x03, 0x02, 0x01, 0xDD, 0xCC, 0xBB, 0xAA},
       kNone, 0},
      {OpenDownloadCommand(), {0xFF, 0xFF, 0x05, 0x06, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, kNone, 0},
      {SendSegmentCheckCommand(5, 0xDEADBEEF),
       {0xFF, 0xFF, 0x05, 0x07, 0, 0, 0, 0, 5, 0, 0xEF, 0xBE, 0xAD, 0xDE, 0, 0}, kNone, 0},
      {CommitSegmentCommand(5, 0x01080000, 2, true),
       {0xFF, 0xFF, 0x05, 0x08, 0, 0, 0, 0, 5, 0, 0x00, 0x00, 0x08, 0x01, 2, 1}, kNone, 0},
      {CommitSegmentCommand(5, 0x01080000, 1, false),
       {0xFF, 0xFF, 0x05, 0x08, 0, 0, 0, 0, 5, 0, 0x00, 0x00, 0x08, 0x01, 1, 0}, kNone, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(&row - rows);
    EXPECT_EQ(row.command.cdb, row.bytes);
    EXPECT_EQ(row.command.direction, row.direction);
    EXPECT_EQ(row.command.dataLength, row.length);
  }
  // Commands that share their bytes: FinishImages(1) is PrepareStorage(1).
  EXPECT_EQ(FinishImagesCommand(true), PrepareStorageCommand(1));
  EXPECT_EQ(CdbU16(CommitSegmentCommand(5, 0x01080000, 2, true).cdb, 12), 0x0108);
  EXPECT_EQ(CdbU32(EndFileCommand(7, 9).cdb, 12), 9u);
  EXPECT_EQ(CdbU32(EndFileCommand(7, 9).cdb, 13), 0u);  // out of the block
}

}  // namespace
}  // namespace flashery
