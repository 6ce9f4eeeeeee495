// Transport: how a vendor command reaches a handset. One exchange is one
// 16-byte command block with an optional data phase towards the handset or
// from it. A transport knows nothing of what the commands mean.
//
// Open takes the device path the handset bus resolved (a SCSI generic node
// such as /dev/sg3, or a simulated handset's socket) and holds the handset
// exclusively: a second opener of the same handset is refused until Close.
// OpenHandset opens the node of the handset a port's record names: a
// transport that can tell which handset a node belongs to refuses (ESTALE)
// a node that by now belongs to another one, as a node name freed by a
// handset that left is given to the next one that joins. The default cannot
// tell and opens the path.
// Send is synchronous: it returns when the command completed or failed.
// The data buffer is the caller's own; the transport never keeps it.
//
// Results are values, never exceptions:
//   kGood       the command completed with SCSI status 0;
//   kBadStatus  the command completed but the handset answered with a
//               non-zero SCSI status (e.g. 2, check condition); the sense
//               bytes are kept for the log;
//   kFailure    the exchange itself failed (device gone, time-out, refused
//               request); errorCode is a system error number (errno).
// Each port's transport is used by that port's job thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace flashery {

constexpr size_t kCdbLength = 16;
constexpr size_t kSenseLength = 24;
// Every command is sent with this time-out, whatever its data length.
constexpr uint32_t kCommandTimeoutMs = 8000;

enum class DataDirection : uint8_t {
  kNone = 0,        // no data phase
  kToDevice = 1,    // the caller's bytes go to the handset
  kFromDevice = 2,  // the handset returns bytes into the caller's buffer
};

enum class SendStatus : uint8_t { kGood, kBadStatus, kFailure };

struct SendResult {
  SendStatus status = SendStatus::kFailure;
  int errorCode = 0;            // errno of a failure (0 when none applies)
  uint8_t scsiStatus = 0;       // raw SCSI status byte as the handset sent it
  uint32_t transferred = 0;     // data bytes actually moved
  uint8_t senseLength = 0;      // valid bytes of sense
  uint16_t hostStatus = 0;      // SCSI generic only: host adapter status
  uint16_t driverStatus = 0;    // SCSI generic only: driver status
  std::array<uint8_t, kSenseLength> sense{};

  bool good() const { return status == SendStatus::kGood; }
};

struct OpenResult {
  bool ok = false;
  int errorCode = 0;  // errno when !ok
};

class Transport {
 public:
  virtual ~Transport() = default;
  // Opens the handset exclusively. Opening while already open closes the
  // earlier handle first.
  virtual OpenResult Open(const std::string& devicePath) = 0;
  // Opens the path and confirms it belongs to the handset `instanceId`
  // (empty: no check).
  virtual OpenResult OpenHandset(const std::string& devicePath, const std::string& instanceId) {
    (void)instanceId;
    return Open(devicePath);
  }
  // Sends one command. `data` may be null only when length is 0. For
  // kFromDevice the buffer receives at most `length` bytes; bytes the
  // handset did not send keep their previous contents.
  virtual SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                          uint8_t* data, uint32_t length,
                          uint32_t timeoutMs = kCommandTimeoutMs) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
};

}  // namespace flashery
