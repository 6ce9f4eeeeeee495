#include "device/vendor_command.h"

namespace flashery {

namespace {

VendorCommand Make(uint8_t group, uint8_t sub, DataDirection direction = DataDirection::kNone,
                   uint32_t dataLength = 0) {
  VendorCommand c;
  c.cdb[0] = 0xFF;
  c.cdb[1] = 0xFF;
  c.cdb[2] = group;
  c.cdb[3] = sub;
  c.direction = direction;
  c.dataLength = dataLength;
  return c;
}

void Put16(VendorCommand& c, size_t at, uint16_t v) {
  c.cdb[at] = static_cast<uint8_t>(v);
  c.cdb[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(VendorCommand& c, size_t at, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) c.cdb[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

VendorCommand CheckAliveCommand() { return Make(0x01, 0x01); }

VendorCommand SelectModeCommand() {
  VendorCommand c = Make(0x02, 0x06, DataDirection::kFromDevice, 0);
  c.cdb[8] = 3;
  return c;
}

VendorCommand FinishImagesCommand(bool moreWorkFollows) {
  VendorCommand c = Make(0x03, 0x01);
  c.cdb[8] = moreWorkFollows ? 1 : 0;
  return c;
}

VendorCommand RestartHandsetCommand(bool commandLineMode) {
  VendorCommand c = Make(0x03, 0x02, DataDirection::kFromDevice, 0);
  c.cdb[8] = commandLineMode ? 1 : 0;
  return c;
}

VendorCommand PrepareStorageCommand(uint8_t mode) {
  VendorCommand c = Make(0x03, mode);
  Put16(c, 8, 1);
  return c;
}

VendorCommand PollStorageCommand(uint8_t mode) {
  VendorCommand c = Make(0x03, mode, DataDirection::kFromDevice, kPollStorageLength);
  Put16(c, 4, static_cast<uint16_t>(kPollStorageLength));
  Put16(c, 8, 2);
  return c;
}

VendorCommand StartCompletionCommand() {
  VendorCommand c = Make(0x04, 0x01);
  c.cdb[8] = 1;
  return c;
}

VendorCommand PollCompletionCommand() {
  VendorCommand c = Make(0x04, 0x01, DataDirection::kFromDevice, kPollCompletionLength);
  c.cdb[4] = static_cast<uint8_t>(kPollCompletionLength);
  c.cdb[8] = 2;
  return c;
}

VendorCommand FinishFileSetsCommand() { return Make(0x04, 0x03); }

VendorCommand QueryStateCommand() {
  return Make(0x05, 0x01, DataDirection::kFromDevice, kQueryStateLength);
}

VendorCommand CreateFolderCommand(uint16_t nameLength) {
  VendorCommand c = Make(0x05, 0x01, DataDirection::kToDevice, nameLength);
  Put16(c, 4, nameLength);
  return c;
}

VendorCommand BeginImageCommand(uint8_t imageCode, uint32_t imageSize) {
  VendorCommand c = Make(0x05, 0x02);
  c.cdb[8] = imageCode;
  Put32(c, 10, imageSize);
  return c;
}

VendorCommand BeginFileCommand(uint16_t nameLength) {
  VendorCommand c = Make(0x05, 0x02, DataDirection::kToDevice, nameLength);
  Put16(c, 4, nameLength);
  return c;
}

VendorCommand WriteImageBlockCommand(uint16_t length, uint16_t blockCheck, bool lastBlock) {
  VendorCommand c = Make(0x05, 0x03, DataDirection::kToDevice, length);
  Put16(c, 4, length);
  Put16(c, 6, blockCheck);
  c.cdb[8] = lastBlock ? 1 : 0;
  return c;
}

VendorCommand WriteFileBlockCommand(uint16_t length, uint16_t blockCheck, bool lastBlock,
                                    uint16_t sequence) {
  VendorCommand c = WriteImageBlockCommand(length, blockCheck, lastBlock);
  Put16(c, 12, sequence);
  return c;
}

VendorCommand AbortImageCommand() { return Make(0x05, 0x04); }

VendorCommand EndImageCommand(uint8_t imageCode, uint32_t imageSize) {
  VendorCommand c = Make(0x05, 0x05);
  c.cdb[8] = imageCode;
  Put32(c, 10, imageSize);
  return c;
}

VendorCommand EndFileCommand(uint32_t fileSize, uint32_t fileCheck) {
  VendorCommand c = Make(0x05, 0x05);
  Put32(c, 8, fileSize);
  Put32(c, 12, fileCheck);
  return c;
}

VendorCommand OpenDownloadCommand() {
  VendorCommand c = Make(0x05, 0x06);
  c.cdb[8] = 1;
  return c;
}

VendorCommand SendSegmentCheckCommand(uint8_t imageCode, uint32_t checkRegister) {
  VendorCommand c = Make(0x05, 0x07);
  c.cdb[8] = imageCode;
  Put32(c, 10, checkRegister);
  return c;
}

VendorCommand CommitSegmentCommand(uint8_t imageCode, uint32_t segmentLength,
                                   uint8_t segmentNumber, bool lastSegment) {
  VendorCommand c = Make(0x05, 0x08);
  c.cdb[8] = imageCode;
  Put32(c, 10, segmentLength);
  c.cdb[14] = segmentNumber;
  c.cdb[15] = lastSegment ? 1 : 0;
  return c;
}

uint16_t CdbU16(const std::array<uint8_t, kCdbLength>& cdb, size_t at) {
  if (at + 2 > kCdbLength) return 0;
  return static_cast<uint16_t>(cdb[at] | cdb[at + 1] << 8);
}

uint32_t CdbU32(const std::array<uint8_t, kCdbLength>& cdb, size_t at) {
  if (at + 4 > kCdbLength) return 0;
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(cdb[at + i]) << (8 * i);
  return v;
}

}  // namespace flashery
