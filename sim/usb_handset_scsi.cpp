#include "sim/usb_handset_scsi.h"

#include <algorithm>

#include "sim/vendor_command.h"

namespace flashery::sim {

namespace {

constexpr uint8_t kTestUnitReady = 0x00;
constexpr uint8_t kRequestSense = 0x03;
constexpr uint8_t kInquiry = 0x12;
constexpr uint8_t kModeSense6 = 0x1A;
constexpr uint8_t kStartStopUnit = 0x1B;
constexpr uint8_t kPreventAllowRemoval = 0x1E;
constexpr uint8_t kReadCapacity10 = 0x25;
constexpr uint8_t kSynchronizeCache10 = 0x35;
constexpr uint8_t kModeSense10 = 0x5A;
constexpr uint8_t kReportLuns = 0xA0;
constexpr uint8_t kVendorOpcode = 0xFF;
// The timeout the station gives every vendor command; the model only uses
// it to decide how late a late answer is.
constexpr uint32_t kVendorTimeoutMs = 8000;
constexpr size_t kFixedSenseBytes = 18;

std::string Field(const std::string& text, size_t width) {
  std::string out = text.substr(0, width);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  out.resize(width, ' ');
  return out;
}

void PutBe32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (24 - 8 * i));
}

uint32_t Be16(const std::array<uint8_t, 16>& c, size_t at) {
  return static_cast<uint32_t>(c[at]) << 8 | c[at + 1];
}

uint32_t Be32(const std::array<uint8_t, 16>& c, size_t at) {
  return Be16(c, at) << 16 | Be16(c, at + 2);
}

std::vector<uint8_t> Cut(std::vector<uint8_t> data, uint32_t allocation) {
  if (data.size() > allocation) data.resize(allocation);
  return data;
}

// The transport's rules for the data phase (see the header): `has` is what
// the command has for the host, already cut to its own allocation length.
BotAnswer Frame(const Cbw& cbw, CswStatus status, const std::vector<uint8_t>& has, bool tookDataOut) {
  BotAnswer a;
  a.status = status;
  if (cbw.dataLength == 0) {
    if (!has.empty()) a.status = CswStatus::kPhaseError;
    return a;
  }
  if (!cbw.dataIn) {
    if (!has.empty()) a.status = CswStatus::kPhaseError;
    a.residue = tookDataOut && a.status == CswStatus::kPassed ? 0 : cbw.dataLength;
    return a;
  }
  a.data.assign(cbw.dataLength, 0);
  if (has.size() > cbw.dataLength) {
    std::copy_n(has.begin(), cbw.dataLength, a.data.begin());
    a.status = CswStatus::kPhaseError;
    return a;
  }
  std::copy(has.begin(), has.end(), a.data.begin());
  a.residue = cbw.dataLength - static_cast<uint32_t>(has.size());
  return a;
}

}  // namespace

InquiryIdentity IdentityFor(const HandsetConfig& config) {
  return {Field(config.vendor, 8), Field("quillon_" + config.model, 16), Field(config.revision, 4)};
}

std::vector<uint8_t> UsbScsiTarget::Inquiry() const {
  std::vector<uint8_t> d(36, 0);
  d[1] = 0x80;  // removable medium
  d[2] = 0x04;  // SPC-2
  d[3] = 0x02;  // response data format
  d[4] = 31;    // additional length
  std::copy(identity_.vendor.begin(), identity_.vendor.end(), d.begin() + 8);
  std::copy(identity_.product.begin(), identity_.product.end(), d.begin() + 16);
  std::copy(identity_.revision.begin(), identity_.revision.end(), d.begin() + 32);
  return d;
}

std::vector<uint8_t> UsbScsiTarget::Sense(uint32_t allocation) {
  std::vector<uint8_t> d(kFixedSenseBytes, 0);
  d[0] = 0x70;  // current error, fixed format
  d[2] = sense_.key;
  d[7] = kFixedSenseBytes - 8;
  d[12] = sense_.asc;
  d[13] = sense_.ascq;
  sense_ = kNoSense;
  return Cut(std::move(d), allocation);
}

UsbScsiTarget::Local UsbScsiTarget::Standard(const Cbw& cbw) {
  Local l;
  const auto& c = cbw.cdb;
  switch (c[0]) {
    case kTestUnitReady:
    case kStartStopUnit:
    case kPreventAllowRemoval:
    case kSynchronizeCache10:
      break;
    case kRequestSense:
      l.data = Sense(c[4]);
      break;
    case kInquiry:
      if ((c[1] & 0x01) != 0 || c[2] != 0)
        l.failure = kInvalidField;  // no vital product data pages
      else
        l.data = Cut(Inquiry(), Be16(c, 3));
      break;
    case kReadCapacity10: {
      l.data.assign(8, 0);
      PutBe32(l.data, 0, kCapacityBlocks - 1);
      PutBe32(l.data, 4, kBlockBytes);
      break;
    }
    case kModeSense6:
      l.data = Cut({3, 0, 0, 0}, c[4]);
      break;
    case kModeSense10:
      l.data = Cut({0, 6, 0, 0, 0, 0, 0, 0}, Be16(c, 7));
      break;
    case kReportLuns: {
      std::vector<uint8_t> d(16, 0);
      d[3] = 8;  // one LUN entry: LUN 0
      l.data = Cut(std::move(d), Be32(c, 6));
      break;
    }
    default:
      l.failure = kInvalidOpcode;
      break;
  }
  return l;
}

BotAnswer UsbScsiTarget::Vendor(const Cbw& cbw, const uint8_t* dataOut) {
  if (cbw.cdbLength != 16) {
    sense_ = kInvalidField;
    return Frame(cbw, CswStatus::kFailed, {}, false);
  }
  HandsetCommand command;
  command.direction = cbw.direction();
  std::copy(cbw.cdb.begin(), cbw.cdb.end(), command.cdb);
  command.dataLength = cbw.dataLength;
  command.data = command.direction == kDirToDevice ? dataOut : nullptr;
  command.timeoutMs = kVendorTimeoutMs;
  HandsetReply reply = model_.Execute(command);
  bool good = reply.scsiStatus == kStatusGood;
  if (!good) sense_ = kInvalidField;
  std::vector<uint8_t> has;
  if (command.direction == kDirFromDevice) has = Cut(std::move(reply.data), cbw.dataLength);
  BotAnswer a = Frame(cbw, good ? CswStatus::kPassed : CswStatus::kFailed, has,
                      command.direction == kDirToDevice);
  a.timing = reply.timing;
  a.delayMs = reply.delayMs;
  a.leaveBus = reply.leaveBus;
  return a;
}

BotAnswer UsbScsiTarget::Execute(const Cbw& cbw, const uint8_t* dataOut) {
  // Sense data describes the command just before; anything else clears it.
  if (cbw.cdb[0] != kRequestSense) sense_ = kNoSense;
  if (cbw.cdb[0] == kVendorOpcode) return Vendor(cbw, dataOut);
  Local l = Standard(cbw);
  if (l.failure.key != 0) {
    sense_ = l.failure;
    return Frame(cbw, CswStatus::kFailed, {}, false);
  }
  return Frame(cbw, CswStatus::kPassed, l.data, false);
}

}  // namespace flashery::sim
