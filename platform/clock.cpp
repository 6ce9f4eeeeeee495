#include "platform/clock.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace flashery {

double ParseTimeScale(const char* text) {
  if (text == nullptr || *text == '\0') return 1.0;
  char* end = nullptr;
  double v = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(v > 0.0) || v > 1000.0) return 1.0;
  return v;
}

namespace {
using Steady = std::chrono::steady_clock;
const Steady::time_point kStart = Steady::now();
}  // namespace

SystemClock::SystemClock(double scale)
    : scale_(scale > 0 ? scale : ParseTimeScale(std::getenv("FLASHERY_TIME_SCALE"))) {}

void SystemClock::SleepMs(uint32_t ms) {
  double us = static_cast<double>(ms) * 1000.0 * scale_;
  if (us < MinRealSleepUs) us = MinRealSleepUs;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<int64_t>(us)));
}

uint64_t SystemClock::NowMs() {
  auto real = std::chrono::duration<double, std::milli>(Steady::now() - kStart).count();
  return static_cast<uint64_t>(real / scale_);
}

std::tm SystemClock::LocalTime() {
  std::time_t t = std::time(nullptr);
  std::tm out{};
  localtime_r(&t, &out);
  return out;
}

double SystemClock::RealSeconds() {
  return std::chrono::duration<double>(Steady::now() - kStart).count();
}

void FakeClock::SleepMs(uint32_t ms) {
  std::function<void(uint64_t)> hook;
  uint64_t now;
  {
    std::lock_guard lock(mutex_);
    sleeps_.push_back(ms);
    now_ += ms;
    now = now_;
    hook = hook_;
  }
  if (hook) hook(now);
  // Let other threads of a test make progress, without real waiting.
  std::this_thread::yield();
}

uint64_t FakeClock::NowMs() {
  std::lock_guard lock(mutex_);
  return now_;
}

std::tm FakeClock::LocalTime() {
  std::lock_guard lock(mutex_);
  if (localSet_) return local_;
  std::tm t{};
  t.tm_year = 2010 - 1900;
  t.tm_mon = 5;
  t.tm_mday = 1;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 7;
  return t;
}

double FakeClock::RealSeconds() {
  std::lock_guard lock(mutex_);
  return static_cast<double>(now_) / 1000.0;
}

void FakeClock::Advance(uint64_t ms) {
  std::lock_guard lock(mutex_);
  now_ += ms;
}

void FakeClock::SetLocalTime(const std::tm& t) {
  std::lock_guard lock(mutex_);
  local_ = t;
  localSet_ = true;
}

std::vector<uint32_t> FakeClock::sleeps() const {
  std::lock_guard lock(mutex_);
  return sleeps_;
}

uint64_t FakeClock::totalSleptMs() const {
  std::lock_guard lock(mutex_);
  uint64_t sum = 0;
  for (auto s : sleeps_) sum += s;
  return sum;
}

void FakeClock::SetSleepHook(std::function<void(uint64_t)> hook) {
  std::lock_guard lock(mutex_);
  hook_ = std::move(hook);
}

}  // namespace flashery
