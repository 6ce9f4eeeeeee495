// The download stage's image store: receives one image at a time between
// BeginImage and EndImage and checks every step of it.
//
// Blocks arrive in order, each carrying its BlockCheckValue. Every block but
// the image's last holds 65,024 bytes, except the block that closes a
// segment of the system image: a segment is 266 blocks of 65,024 bytes and
// one of 5,120 bytes (17,301,504 bytes), committed with CommitSegment
// (length, number, last flag) and confirmed with SendSegmentCheck (the
// 32-bit Crc16Update register over exactly that segment's bytes). An image
// that is sent without segments is taken as one piece. A block's last-block
// byte must be 1 exactly for the block that completes the declared size.
//
// Each call returns an empty string when the handset accepts, otherwise the
// reason it refuses; a refused block or command changes nothing, so the
// station can send the same block again. The image is written to a private
// temporary file and appears as images/image_<code>.bin (code in decimal)
// when EndImage succeeds; an image sent again replaces the earlier one.
#pragma once

#include <cstdint>
#include <string>

#include "sim/partial_file.h"
#include "sim/vendor_command.h"

namespace flashery::sim {

constexpr uint32_t kSegmentBytes = 0x1080000;  // 17,301,504
constexpr uint32_t kSegmentFullBlocks = 266;
constexpr uint32_t kSegmentClosingBlockBytes = 0x1400;  // 5,120

struct ImageRecord {
  uint8_t code = 0;
  uint32_t size = 0;
  std::string file;    // relative to the handset's folder
  uint32_t check = 0;  // as a package stores it: the sum of the Crc16Update
                       // values of the image's 96 MiB pieces
  uint32_t segments = 0;
  uint32_t blocks = 0;
};

class ImageReceiver {
 public:
  // handsetFolder holds images/ and the private .incoming/ folder.
  explicit ImageReceiver(std::string handsetFolder);

  std::string Begin(uint8_t code, uint32_t size);
  std::string Block(const DecodedCommand& command, const uint8_t* data);
  std::string CommitSegment(const DecodedCommand& command);
  std::string SegmentCheck(const DecodedCommand& command);
  // On success fills `record`.
  std::string End(uint8_t code, uint32_t size, ImageRecord& record);
  void Abort();

  bool open() const { return open_; }
  uint8_t code() const { return code_; }
  // 1-based index of the block the image expects next.
  uint32_t nextBlockIndex() const { return blocks_ + 1; }
  uint32_t segmentsCommitted() const { return segments_; }

 private:
  // Adds a block to the image check; fromZero is Crc16Update(data, n, 0).
  void AddToCheck(const uint8_t* data, uint32_t n, uint32_t fromZero);

  std::string folder_;
  PartialFile file_;
  bool open_ = false;
  uint8_t code_ = 0;
  uint32_t size_ = 0;
  uint32_t received_ = 0;
  uint32_t blocks_ = 0;
  // Segments.
  uint32_t segments_ = 0;      // committed so far
  uint32_t segmentBytes_ = 0;  // received since the last confirmed segment
  uint32_t segmentCheck_ = 0;
  bool segmentClosed_ = false;  // its 5,120-byte closing block arrived
  bool checkPending_ = false;   // committed, check not yet sent
  // Package-style check value of the whole image.
  uint32_t checkSum_ = 0;
  uint32_t pieceCheck_ = 0;
  uint32_t pieceBytes_ = 0;
};

}  // namespace flashery::sim
