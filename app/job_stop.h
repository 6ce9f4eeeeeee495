// What makes a running port job end at its next command boundary when the
// operator stops it (the window closes, SIGINT/SIGTERM in the unattended
// mode), without the job knowing about it and without killing its thread:
// its transport and its clock are wrapped.
// - StoppableTransport: once the stop is requested, Open and Send fail at
//   once (error ECANCELED) without reaching the handset; a command already
//   on its way completes normally, and its outcome is the handset's.
// - StoppableClock: once the stop is requested, sleeps return at once, and
//   the time they would have taken is added to NowMs, so every wait of the
//   job, bounded by counts or by time, runs out quickly. Elapsed times are
//   never read from it (the job reads them from the station's clock).
// JobStop ties both to one job: the stop is requested from outside (a stop
// token) and takes effect at the first command refused or wait skipped
// because of it. From that moment `inEffect()` is set; the job runs no
// further step, stays quiet and ends with one "stopped by the operator"
// line (engine/port_job.h), since nothing it could say afterwards happened
// on the wire. What the job said before that moment — the outcome of the
// command in flight included — is real and stays.
#pragma once

#include <atomic>
#include <memory>
#include <stop_token>

#include "device/transport.h"
#include "platform/clock.h"

namespace flashery {

class JobStop {
 public:
  explicit JobStop(std::stop_token requested) : requested_(std::move(requested)) {}
  JobStop(const JobStop&) = delete;
  JobStop& operator=(const JobStop&) = delete;

  // True once the stop is requested. Asked by a wrapper that is about to
  // refuse a command or skip a wait, so asking makes the stop take effect.
  bool stop_requested() {
    if (!requested_.stop_requested()) return false;
    inEffect_.request_stop();
    return true;
  }
  std::stop_token inEffect() const { return inEffect_.get_token(); }

 private:
  std::stop_token requested_;
  std::stop_source inEffect_;
};

class StoppableTransport final : public Transport {
 public:
  StoppableTransport(std::unique_ptr<Transport> inner, JobStop& stop) : inner_(std::move(inner)), stop_(stop) {}
  OpenResult Open(const std::string& devicePath) override;
  OpenResult OpenHandset(const std::string& devicePath, const std::string& instanceId) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction, uint8_t* data,
                  uint32_t length, uint32_t timeoutMs) override;
  void Close() override;
  bool IsOpen() const override;

 private:
  std::unique_ptr<Transport> inner_;
  JobStop& stop_;
};

class StoppableClock final : public Clock {
 public:
  StoppableClock(Clock& inner, JobStop& stop) : inner_(inner), stop_(stop) {}
  void SleepMs(uint32_t ms) override;
  uint64_t NowMs() override;
  std::tm LocalTime() override { return inner_.LocalTime(); }
  double RealSeconds() override { return inner_.RealSeconds(); }

 private:
  Clock& inner_;
  JobStop& stop_;
  std::atomic<uint64_t> skippedMs_{0};
};

}  // namespace flashery
