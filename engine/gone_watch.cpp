#include "engine/gone_watch.h"

#include <cerrno>

namespace flashery {

GoneVerdict DecideGone(GoneState& state, bool attached, bool restartAsked, uint64_t nowMs, uint64_t limitMs) {
  if (attached || restartAsked || limitMs == 0) {
    state.absent = false;
    return attached ? GoneVerdict::Present : GoneVerdict::Absent;
  }
  if (!state.absent) {
    state.absent = true;
    state.sinceMs = nowMs;
  }
  return nowMs >= state.sinceMs && nowMs - state.sinceMs >= limitMs ? GoneVerdict::Gone : GoneVerdict::Absent;
}

bool GoneWatch::Check() {
  if (gone_.load()) return true;
  if (stopped_.stop_requested()) return false;
  GoneVerdict v = DecideGone(state_, records_.Attached(port_) == 1, restartAsked_.load(), clock_.NowMs(), limitMs_);
  if (v != GoneVerdict::Gone) return false;
  gone_.store(true);
  goneSource_.request_stop();
  return true;
}

void GoneWatchClock::SleepMs(uint32_t ms) {
  if (watch_.Check()) return;
  inner_.SleepMs(ms);
  watch_.Check();
}

OpenResult GoneWatchTransport::Open(const std::string& devicePath) {
  if (watch_.Check() || !inner_) return OpenResult{false, ENODEV};
  return inner_->Open(devicePath);
}

OpenResult GoneWatchTransport::OpenHandset(const std::string& devicePath, const std::string& instanceId) {
  if (watch_.Check() || !inner_) return OpenResult{false, ENODEV};
  return inner_->OpenHandset(devicePath, instanceId);
}

SendResult GoneWatchTransport::Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                                    uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  if (watch_.Check() || !inner_) {
    SendResult r;
    r.status = SendStatus::kFailure;
    r.errorCode = ENODEV;
    return r;
  }
  return inner_->Send(cdb, direction, data, length, timeoutMs);
}

}  // namespace flashery
