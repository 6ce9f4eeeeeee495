#include "sim/image_receiver.h"

#include <algorithm>

#include "package/crc16.h"
#include "platform/paths.h"
#include "text/status.h"

namespace flashery::sim {

ImageReceiver::ImageReceiver(std::string handsetFolder) : folder_(std::move(handsetFolder)) {}

std::string ImageReceiver::Begin(uint8_t code, uint32_t size) {
  if (open_) return FormatString("image %u is still open", code_);
  if (!file_.Start(JoinPath(folder_, ".incoming/image.part")))
    return "the handset could not open its image store";
  open_ = true;
  code_ = code;
  size_ = size;
  received_ = blocks_ = segments_ = segmentBytes_ = segmentCheck_ = 0;
  segmentClosed_ = checkPending_ = false;
  checkSum_ = pieceCheck_ = pieceBytes_ = 0;
  return {};
}

void ImageReceiver::AddToCheck(const uint8_t* data, uint32_t n, uint32_t fromZero) {
  if (n <= kSectionChunkBytes - pieceBytes_) {  // within one 96 MiB piece: no second pass
    pieceCheck_ = Crc16Combine(pieceCheck_, fromZero, n);
    pieceBytes_ += n;
    if (pieceBytes_ == kSectionChunkBytes) {
      checkSum_ += pieceCheck_;
      pieceCheck_ = pieceBytes_ = 0;
    }
    return;
  }
  while (n > 0) {
    uint32_t take = std::min(n, kSectionChunkBytes - pieceBytes_);
    pieceCheck_ = Crc16Update(data, take, pieceCheck_);
    pieceBytes_ += take;
    data += take;
    n -= take;
    if (pieceBytes_ == kSectionChunkBytes) {
      checkSum_ += pieceCheck_;
      pieceCheck_ = pieceBytes_ = 0;
    }
  }
}

std::string ImageReceiver::Block(const DecodedCommand& c, const uint8_t* data) {
  if (!open_) return "no image is open";
  if (checkPending_) return FormatString("segment %u was committed but its check not sent", segments_);
  if (segmentClosed_) return FormatString("segment %u is full and not committed", segments_ + 1);
  uint32_t n = c.length;
  if (n > size_ - received_)
    return FormatString("block of %u bytes runs past the image size %u (%u received)", n, size_,
                        received_);
  bool completes = received_ + n == size_;
  if (c.flag != (completes ? 1 : 0))
    return FormatString("last-block byte is %u, must be %u (%u of %u bytes after this block)",
                        c.flag, completes ? 1u : 0u, received_ + n, size_);
  bool segmented = segments_ > 0;
  bool closingPlace = segmentBytes_ == kSegmentFullBlocks * kMaxBlockBytes;
  bool closes = false;
  if (!completes) {
    if (n == kSegmentClosingBlockBytes && closingPlace) {
      closes = true;
    } else if (n != kMaxBlockBytes) {
      return FormatString("block of %u bytes before the last; blocks hold 65,024 bytes", n);
    } else if (segmented && closingPlace) {
      return "block 267 of a segment must hold 5,120 bytes";
    }
  } else if (segmented && n > kSegmentBytes - segmentBytes_) {
    return FormatString("block of %u bytes runs past the end of segment %u", n, segments_ + 1);
  }
  uint16_t expected = BlockCheckValue(data, n);
  if (expected != c.blockCheck)
    return FormatString("block %u check value 0x%04X, expected 0x%04X", blocks_ + 1, c.blockCheck,
                        expected);
  if (!file_.Append(data, n)) return "the handset could not store the block";
  received_ += n;
  segmentBytes_ += n;
  // One pass over the block; its value is combined into both registers.
  const uint32_t fromZero = Crc16Update(data, n, 0);
  segmentCheck_ = Crc16Combine(segmentCheck_, fromZero, n);
  AddToCheck(data, n, fromZero);
  ++blocks_;
  segmentClosed_ = closes;
  return {};
}

std::string ImageReceiver::CommitSegment(const DecodedCommand& c) {
  if (!open_) return "no image is open";
  if (c.code != code_) return FormatString("segment of image %u while image %u is open", c.code, code_);
  if (checkPending_) return FormatString("segment %u was committed but its check not sent", segments_);
  if (c.number != static_cast<uint8_t>(segments_ + 1))
    return FormatString("segment number %u, expected %u", c.number, (segments_ + 1) & 0xFF);
  if (segmentBytes_ == 0) return "segment without data";
  if (c.value != segmentBytes_)
    return FormatString("segment %u length %u, received %u", c.number, c.value, segmentBytes_);
  bool completes = received_ == size_;
  if (c.flag != (completes ? 1 : 0))
    return FormatString("last-segment flag %u, must be %u", c.flag, completes ? 1u : 0u);
  if (!completes && segmentBytes_ != kSegmentBytes)
    return FormatString("segment %u holds %u bytes; a segment before the last holds 17,301,504",
                        c.number, segmentBytes_);
  ++segments_;
  segmentClosed_ = false;
  checkPending_ = true;
  return {};
}

std::string ImageReceiver::SegmentCheck(const DecodedCommand& c) {
  if (!open_) return "no image is open";
  if (c.code != code_) return FormatString("segment check of image %u while image %u is open", c.code, code_);
  if (!checkPending_) return "segment check without a committed segment";
  if (c.value != segmentCheck_)
    return FormatString("segment %u check 0x%08X, the segment's bytes give 0x%08X", segments_,
                        c.value, segmentCheck_);
  checkPending_ = false;
  segmentBytes_ = 0;
  segmentCheck_ = 0;
  return {};
}

std::string ImageReceiver::End(uint8_t code, uint32_t size, ImageRecord& record) {
  if (!open_) return "no image is open";
  if (code != code_) return FormatString("EndImage for image %u while image %u is open", code, code_);
  if (size != size_) return FormatString("EndImage size %u, BeginImage said %u", size, size_);
  if (received_ != size_) return FormatString("received %u of %u bytes", received_, size_);
  if (checkPending_) return FormatString("segment %u was committed but its check not sent", segments_);
  if (segments_ > 0 && segmentBytes_ != 0)
    return FormatString("the last %u bytes were not committed as a segment", segmentBytes_);
  std::string name = FormatString("images/image_%u.bin", code_);
  if (!file_.Commit(JoinPath(folder_, name))) {
    open_ = false;
    return "the handset could not store the image";
  }
  record = {};
  record.code = code_;
  record.size = size_;
  record.file = name;
  record.check = checkSum_ + pieceCheck_;
  record.segments = segments_;
  record.blocks = blocks_;
  open_ = false;
  return {};
}

void ImageReceiver::Abort() {
  file_.Discard();
  open_ = false;
}

}  // namespace flashery::sim
