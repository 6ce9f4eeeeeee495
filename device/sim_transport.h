// SimSocketTransport: the Transport to a simulated handset. Open connects to
// the handset's Unix socket (DIR/SERIAL.sock); a handset takes one
// connection at a time, so a refused connect means the handset is held by
// another opener or has gone (ECONNREFUSED, ENOENT). Each Send is one
// request and one reply of the simulator wire protocol.
//
// The reply is awaited for the command's time-out in station time, scaled
// like the clock's sleeps (SimRealTimeoutMs). A closed connection, a
// time-out or a malformed reply is a failure (ENODEV, ETIMEDOUT, EPROTO)
// and closes the connection: a reply that arrives late must never be taken
// for the answer to a later command. Until it is opened again every Send
// fails with ENOTCONN. A non-zero SCSI status in the reply is kBadStatus.
#pragma once

#include <string>

#include "device/sim_wire.h"
#include "device/transport.h"

namespace flashery {

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
  double scale_;
  int minRealTimeoutMs_;
  int fd_ = -1;
};

}  // namespace flashery
