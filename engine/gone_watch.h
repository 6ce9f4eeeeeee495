// The rule for a handset that has gone from the bus while its job runs: a
// running port whose handset has been off the bus for the station's
// goneFailSeconds ([Station] in downtoolcfg.ini, default 10; 0 turns the
// rule off) ends its job at once, failed, "handset removed during
// download", instead of running out its probe and retry loops.
//
// Absence is not counted while a restart the job asked for is under way
// (from the accepted restart or mode switch until the handset is back and
// open again): the restart's own bounded waits decide those. An absence
// that outlasts such a restart starts to count when the restart ends.
// Time is station time, read from the job's clock (so FLASHERY_TIME_SCALE
// scales it like every wait, and a test drives it with the fake clock).
//
// GoneWatch applies the rule for one job. It is asked at every wait and at
// every command of the job: GoneWatchClock and GoneWatchTransport wrap the
// job's clock and transports. Once the handset is declared gone, waits
// return at once and commands fail (ENODEV) without reaching the bus, so
// whatever loop the job is in runs out at once, and the job ends. A watch
// that finds the operator's stop in effect declares nothing: the stop ends
// that job.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <stop_token>

#include "device/port_record.h"
#include "device/transport.h"
#include "platform/clock.h"

namespace flashery {

inline constexpr uint32_t kDefaultGoneFailSeconds = 10;

struct GoneState {
  bool absent = false;     // counting an absence
  uint64_t sinceMs = 0;    // when the counted absence began
};

enum class GoneVerdict { Present, Absent, Gone };

// One look at the port: whether its handset is attached, whether a restart
// the job asked for is under way, the station time, the limit (0: off).
GoneVerdict DecideGone(GoneState& state, bool attached, bool restartAsked, uint64_t nowMs, uint64_t limitMs);

class GoneWatch {
 public:
  GoneWatch(const PortRecordTable& records, int port, Clock& clock, uint64_t limitMs, std::stop_token stopped)
      : records_(records), port_(port), clock_(clock), limitMs_(limitMs), stopped_(std::move(stopped)) {}

  // Looks at the port now; true once the handset has been declared gone.
  bool Check();
  bool gone() const { return gone_.load(); }
  // Whether an absence is being counted, and since when (station time).
  bool absent() const { return state_.absent; }
  uint64_t absentSinceMs() const { return state_.sinceMs; }
  void SetRestartAsked(bool asked) { restartAsked_.store(asked); }
  // Raised when the handset is declared gone (the job's output goes quiet).
  std::stop_token goneToken() const { return goneSource_.get_token(); }

 private:
  const PortRecordTable& records_;
  const int port_;
  Clock& clock_;
  const uint64_t limitMs_;
  std::stop_token stopped_;
  GoneState state_;
  std::atomic<bool> restartAsked_{false};
  std::atomic<bool> gone_{false};
  std::stop_source goneSource_;
};

class GoneWatchClock final : public Clock {
 public:
  GoneWatchClock(Clock& inner, GoneWatch& watch) : inner_(inner), watch_(watch) {}
  void SleepMs(uint32_t ms) override;
  uint64_t NowMs() override { return inner_.NowMs(); }
  std::tm LocalTime() override { return inner_.LocalTime(); }
  double RealSeconds() override { return inner_.RealSeconds(); }

 private:
  Clock& inner_;
  GoneWatch& watch_;
};

class GoneWatchTransport final : public Transport {
 public:
  GoneWatchTransport(std::unique_ptr<Transport> inner, GoneWatch& watch) : inner_(std::move(inner)), watch_(watch) {}
  OpenResult Open(const std::string& devicePath) override;
  OpenResult OpenHandset(const std::string& devicePath, const std::string& instanceId) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction, uint8_t* data,
                  uint32_t length, uint32_t timeoutMs) override;
  void Close() override {
    if (inner_) inner_->Close();
  }
  bool IsOpen() const override { return inner_ && inner_->IsOpen(); }

 private:
  std::unique_ptr<Transport> inner_;
  GoneWatch& watch_;
};

}  // namespace flashery
