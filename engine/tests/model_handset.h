// An in-process handset for the engine's tests: the simulator's handset
// model behind a Transport, with no socket. It plays what the simulator's
// server and the device monitor would do around it: a connection closes
// when the handset answers a restart, the handset leaves the bus after its
// leave delay (the port record goes detached), and comes back after its
// time off the bus with a new open path (the record refreshed as the
// monitor refreshes a running port's record). A command answered late or
// never fails with ETIMEDOUT after its time-out on the clock, and the
// connection stays open, as on the socket bus. Time is the test's
// FakeClock; Tick runs after every sleep.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "device/port_record.h"
#include "device/transport.h"
#include "sim/handset_model.h"

namespace flashery::test {

class ModelHandset : public std::enable_shared_from_this<ModelHandset> {
 public:
  ModelHandset(sim::HandsetConfig config, PortRecordTable& records, int port, Clock& clock);

  bool PowerOn();
  // The port's record as the monitor binds this handset.
  PortRecord Record() const;
  std::unique_ptr<Transport> NewTransport();
  void Tick(uint64_t nowMs);
  // The cable pulled: the handset leaves the bus for good, its connection
  // ends and the port's record goes detached (as the monitor would set it).
  void Pull();
  sim::HandsetReport Report() const;
  const std::string& folder() const { return config_.folder; }

  // Test knobs.
  int openFailures = 0;         // opens refused (EIO)
  bool recordShowsLeave = true;  // false: the bus never shows the handset gone
  // Runs before the handset sees each command (the test's hand on the world
  // while a transfer is under way).
  std::function<void(const std::array<uint8_t, kCdbLength>& cdb)> beforeCommand;

  // Transport side.
  bool Connect(const std::string& path, int& epoch, int& error);
  void Disconnect(int epoch);
  SendResult Exchange(int epoch, const std::array<uint8_t, kCdbLength>& cdb, DataDirection dir,
                      uint8_t* data, uint32_t length, uint32_t timeoutMs);

 private:
  SendResult ExchangeLocked(int epoch, const std::array<uint8_t, kCdbLength>& cdb, DataDirection dir,
                            uint8_t* data, uint32_t length);
  std::string OpenPathLocked() const;
  PortRecord RecordLocked() const;

  const sim::HandsetConfig config_;
  PortRecordTable& records_;
  const int port_;
  Clock& clock_;
  mutable std::mutex mutex_;
  sim::HandsetModel model_;
  bool onBus_ = true;
  bool connected_ = false;
  int epoch_ = 0;
  int generation_ = 0;
  bool leaving_ = false, returning_ = false;
  uint64_t leaveAt_ = 0, returnAt_ = 0;
};

}  // namespace flashery::test
