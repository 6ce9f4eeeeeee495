// What the USB handset answers to each command block the host sends through
// the bulk-only transport: the standard SCSI commands a USB disk is asked
// at probe time, and the vendor blocks (opcode 0xFF), which go to the
// handset model — the same model flashery-sim serves on its socket bus.
//
// Standard commands:
//   INQUIRY            36 bytes: direct-access device, removable, SPC-2,
//                      vendor / product / revision from the configuration
//                      ("VANTOR", "QUILLON_T745", "0001"), upper case and
//                      blank-padded as inquiry data is; vital product data
//                      pages are not offered (check condition).
//   REQUEST SENSE      fixed-format sense (18 bytes) of the command before,
//                      then no sense again.
//   TEST UNIT READY, PREVENT ALLOW MEDIUM REMOVAL, START STOP UNIT,
//   SYNCHRONIZE CACHE  good.
//   READ CAPACITY(10)  a small medium of kCapacityBlocks blocks of 512 bytes.
//   MODE SENSE(6/10)   a header only: no block descriptors, not protected.
//   REPORT LUNS        one LUN, 0.
//   anything else      check condition, ILLEGAL REQUEST / INVALID COMMAND
//                      OPERATION CODE. Sectors are never served: the
//                      download firmware is driven by vendor commands only.
// A vendor block the model refuses ends with check condition; its sense is
// ILLEGAL REQUEST / INVALID FIELD IN CDB.
//
// The data phase follows the transport's rules: the data the command has
// is sent, cut to what the host asked for; when it has less, it is padded
// with zeros to the host's length and the residue tells the difference; a
// command with data for the host that the host did not ask for, or more
// data than the host asked for when the command's own length field did
// not ask for less, is a phase error. Data from the host that a command
// does not take is counted in the residue.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/handset_model.h"
#include "sim/usb_handset_bot.h"

namespace flashery::sim {

constexpr uint32_t kCapacityBlocks = 8192;
constexpr uint32_t kBlockBytes = 512;

struct SenseCode {
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
  bool operator==(const SenseCode&) const = default;
};
constexpr SenseCode kNoSense{};
constexpr SenseCode kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseCode kInvalidField{0x05, 0x24, 0x00};

// The inquiry strings, already blank-padded to 8, 16 and 4 characters.
struct InquiryIdentity {
  std::string vendor;
  std::string product;
  std::string revision;
};
InquiryIdentity IdentityFor(const HandsetConfig& config);

struct BotAnswer {
  CswStatus status = CswStatus::kPassed;
  std::vector<uint8_t> data;  // data phase to the host, exactly cbw.dataLength when dataIn
  uint32_t residue = 0;
  ReplyTiming timing = ReplyTiming::kNow;  // from the model
  uint32_t delayMs = 0;
  bool leaveBus = false;
};

class UsbScsiTarget {
 public:
  UsbScsiTarget(HandsetModel& model, InquiryIdentity identity)
      : model_(model), identity_(std::move(identity)) {}

  // One command; `dataOut` holds the host's data phase (dataLength bytes)
  // when the wrapper announced data to the device.
  BotAnswer Execute(const Cbw& cbw, const uint8_t* dataOut);
  // A bulk-only reset or a new connection: nothing pending.
  void Reset() { sense_ = kNoSense; }
  const SenseCode& pendingSense() const { return sense_; }

 private:
  struct Local {
    SenseCode failure = kNoSense;  // non-zero key: check condition
    std::vector<uint8_t> data;     // what the command has for the host
  };
  Local Standard(const Cbw& cbw);
  BotAnswer Vendor(const Cbw& cbw, const uint8_t* dataOut);
  std::vector<uint8_t> Inquiry() const;
  std::vector<uint8_t> Sense(uint32_t allocation);

  HandsetModel& model_;
  InquiryIdentity identity_;
  SenseCode sense_;
};

}  // namespace flashery::sim
