// VendorCommand: the 16-byte command blocks the handset's download firmware
// understands, with the data phase each one carries.
//
//   byte 0, 1   0xFF 0xFF
//   byte 2      group
//   byte 3      sub-command
//   bytes 4-15  parameters, little-endian; every byte not set is 0
//
// Each builder below returns the exact block of one command together with
// its direction and data length, so that the bytes on the wire are decided
// in one place. Some commands share bytes 2 and 3 and differ only by
// direction and parameters (QueryState / CreateFolder, BeginImage /
// BeginFile, EndImage / EndFile, StartCompletion / PollCompletion,
// PrepareStorage / PollStorage).
#pragma once

#include <array>
#include <cstdint>

#include "device/transport.h"

namespace flashery {

constexpr uint32_t kMaxBlockLength = 65024;  // 0xFE00, 127 x 512 bytes
constexpr uint32_t kQueryStateLength = 4;
constexpr uint32_t kPollCompletionLength = 50;
constexpr uint32_t kPollStorageLength = 1024;

struct VendorCommand {
  std::array<uint8_t, kCdbLength> cdb{};
  DataDirection direction = DataDirection::kNone;
  uint32_t dataLength = 0;

  bool operator==(const VendorCommand&) const = default;
};

VendorCommand CheckAliveCommand();
// Sent with the data-in direction and length 0.
VendorCommand SelectModeCommand();
VendorCommand FinishImagesCommand(bool moreWorkFollows);
// Sent with the data-in direction and length 0.
VendorCommand RestartHandsetCommand(bool commandLineMode);
VendorCommand PrepareStorageCommand(uint8_t mode);
VendorCommand PollStorageCommand(uint8_t mode);
VendorCommand StartCompletionCommand();
VendorCommand PollCompletionCommand();
VendorCommand FinishFileSetsCommand();
VendorCommand QueryStateCommand();
VendorCommand CreateFolderCommand(uint16_t nameLength);
VendorCommand BeginImageCommand(uint8_t imageCode, uint32_t imageSize);
VendorCommand BeginFileCommand(uint16_t nameLength);
// An image block: bytes 9-15 stay 0.
VendorCommand WriteImageBlockCommand(uint16_t length, uint16_t blockCheck, bool lastBlock);
// A file block: as an image block, plus its sequence number (1..9) in
// bytes 12-13.
VendorCommand WriteFileBlockCommand(uint16_t length, uint16_t blockCheck, bool lastBlock,
                                    uint16_t sequence);
VendorCommand AbortImageCommand();
VendorCommand EndImageCommand(uint8_t imageCode, uint32_t imageSize);
VendorCommand EndFileCommand(uint32_t fileSize, uint32_t fileCheck);
VendorCommand OpenDownloadCommand();
VendorCommand SendSegmentCheckCommand(uint8_t imageCode, uint32_t checkRegister);
VendorCommand CommitSegmentCommand(uint8_t imageCode, uint32_t segmentLength,
                                   uint8_t segmentNumber, bool lastSegment);

// Little-endian fields of a block, for checks and traces.
uint16_t CdbU16(const std::array<uint8_t, kCdbLength>& cdb, size_t at);
uint32_t CdbU32(const std::array<uint8_t, kCdbLength>& cdb, size_t at);

}  // namespace flashery
