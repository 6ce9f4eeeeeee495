// Clock: the one place every wait of the station and of the simulated
// handsets goes through.
//
// SystemClock scales each sleep by FLASHERY_TIME_SCALE (a factor, default 1)
// so the tests and the demo run the same polling algorithms quickly. A
// scaled sleep is never shorter than MinRealSleepUs, so a polling loop never
// spins a core however small the scale. FakeClock advances virtual time
// instead of sleeping and records every sleep; an optional hook lets a test
// change the world while the code under test waits.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <vector>

namespace flashery {

class Clock {
 public:
  virtual ~Clock() = default;
  // Waits ms milliseconds of station time.
  virtual void SleepMs(uint32_t ms) = 0;
  // Monotonic station time in milliseconds (virtual in the fake; in the
  // system clock real time divided by the scale, so that a bound measured in
  // station time matches the scaled sleeps).
  virtual uint64_t NowMs() = 0;
  // Wall-clock local time (log file names, run records).
  virtual std::tm LocalTime() = 0;
  // Real elapsed seconds, for throughput figures only.
  virtual double RealSeconds() = 0;
};

// Parses a FLASHERY_TIME_SCALE value; anything unusable gives 1.
// Accepted: a positive decimal number no larger than 1000.
double ParseTimeScale(const char* text);

class SystemClock final : public Clock {
 public:
  static constexpr uint32_t MinRealSleepUs = 200;
  // scale <= 0 reads FLASHERY_TIME_SCALE.
  explicit SystemClock(double scale = 0);
  void SleepMs(uint32_t ms) override;
  uint64_t NowMs() override;
  std::tm LocalTime() override;
  double RealSeconds() override;
  double scale() const { return scale_; }

 private:
  double scale_;
};

class FakeClock final : public Clock {
 public:
  explicit FakeClock(uint64_t startMs = 0) : now_(startMs) {}
  void SleepMs(uint32_t ms) override;
  uint64_t NowMs() override;
  std::tm LocalTime() override;
  double RealSeconds() override;

  void Advance(uint64_t ms);
  void SetLocalTime(const std::tm& t);
  std::vector<uint32_t> sleeps() const;
  uint64_t totalSleptMs() const;
  // Called (without the clock's lock held) after each sleep with the
  // virtual time reached.
  void SetSleepHook(std::function<void(uint64_t nowMs)> hook);

 private:
  mutable std::mutex mutex_;
  uint64_t now_;
  std::vector<uint32_t> sleeps_;
  std::tm local_{};
  bool localSet_ = false;
  std::function<void(uint64_t)> hook_;
};

}  // namespace flashery
