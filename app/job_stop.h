// What makes a running port job end at its next command boundary when the
// window closes, without the job knowing about it and without killing its
// thread: its transport and its clock are wrapped.
// - StoppableTransport: once the stop is requested, Open and Send fail at
//   once (error ECANCELED) without reaching the handset; a command already
//   on its way completes normally.
// - StoppableClock: once the stop is requested, sleeps return at once, and
//   the time they would have taken is added to NowMs, so every wait of the
//   job, bounded by counts or by time, runs out quickly.
// The job then ends through its ordinary failure path: it reports and logs
// the failure, releases its semaphore unit and marks its record finished.
#pragma once

#include <atomic>
#include <memory>
#include <stop_token>

#include "device/transport.h"
#include "platform/clock.h"

namespace flashery {

class StoppableTransport final : public Transport {
 public:
  StoppableTransport(std::unique_ptr<Transport> inner, std::stop_token stop)
      : inner_(std::move(inner)), stop_(std::move(stop)) {}
  OpenResult Open(const std::string& devicePath) override;
  OpenResult OpenHandset(const std::string& devicePath, const std::string& instanceId) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction, uint8_t* data,
                  uint32_t length, uint32_t timeoutMs) override;
  void Close() override;
  bool IsOpen() const override;

 private:
  std::unique_ptr<Transport> inner_;
  std::stop_token stop_;
};

class StoppableClock final : public Clock {
 public:
  StoppableClock(Clock& inner, std::stop_token stop) : inner_(inner), stop_(std::move(stop)) {}
  void SleepMs(uint32_t ms) override;
  uint64_t NowMs() override;
  std::tm LocalTime() override { return inner_.LocalTime(); }
  double RealSeconds() override { return inner_.RealSeconds(); }

 private:
  Clock& inner_;
  std::stop_token stop_;
  std::atomic<uint64_t> skippedMs_{0};
};

}  // namespace flashery
