// SimSocketTransport: the Transport to a simulated handset. Open connects to
// the handset's Unix socket (DIR/SERIAL.sock); a handset takes one
// connection at a time, so a refused connect means the handset is held by
// another opener or has gone (ECONNREFUSED, ENOENT). Each Send is one
// request and one reply of the simulator wire protocol.
//
// The reply is awaited for the command's time-out in station time, scaled
// like the clock's sleeps, but never less than a real floor
// (SimRealTimeoutMs). Every request carries a new non-zero tag.
//
// A command whose reply does not come in time fails with ETIMEDOUT and the
// connection stays open, as an sg descriptor stays usable after a
// timed-out command: its tag is remembered as owed, and when its late
// reply turns up before a later command's answer it is read past and
// discarded. At most kMaxOwedReplies replies may be owed; a handset that
// lets more commands time out in a row is given up (the connection is
// closed). A closed connection (ENODEV), a malformed reply or one with a
// tag nobody waits for (EPROTO), and a time-out in the middle of a request
// or a reply (ETIMEDOUT) close the connection, since the stream can no
// longer be trusted; until it is opened again every Send fails with
// ENOTCONN. A non-zero SCSI status in the reply is kBadStatus.
#pragma once

#include <string>
#include <vector>

#include "device/sim_wire.h"
#include "device/transport.h"

namespace flashery {

constexpr size_t kMaxOwedReplies = 8;

class SimSocketTransport final : public Transport {
 public:
  // timeScale <= 0 reads FLASHERY_TIME_SCALE, as the system clock does;
  // minRealTimeoutMs is the least real wait for a reply.
  explicit SimSocketTransport(double timeScale = 0, int minRealTimeoutMs = kSimMinRealTimeoutMs);
  ~SimSocketTransport() override { Close(); }
  SimSocketTransport(const SimSocketTransport&) = delete;
  SimSocketTransport& operator=(const SimSocketTransport&) = delete;

  OpenResult Open(const std::string& devicePath) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                  uint8_t* data, uint32_t length, uint32_t timeoutMs = kCommandTimeoutMs) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }

 private:
  uint16_t NextTag();

  double scale_;
  int minRealTimeoutMs_;
  int fd_ = -1;
  uint16_t lastTag_ = 0;
  std::vector<uint16_t> owed_;  // tags of timed-out commands not yet answered
};

}  // namespace flashery
