#include "app/job_stop.h"

#include <cerrno>

namespace flashery {

OpenResult StoppableTransport::Open(const std::string& devicePath) {
  if (stop_.stop_requested() || !inner_) return OpenResult{false, ECANCELED};
  return inner_->Open(devicePath);
}

OpenResult StoppableTransport::OpenHandset(const std::string& devicePath,
                                           const std::string& instanceId) {
  if (stop_.stop_requested() || !inner_) return OpenResult{false, ECANCELED};
  return inner_->OpenHandset(devicePath, instanceId);
}

SendResult StoppableTransport::Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                                    uint8_t* data, uint32_t length, uint32_t timeoutMs) {
  if (stop_.stop_requested() || !inner_) {
    SendResult r;
    r.status = SendStatus::kFailure;
    r.errorCode = ECANCELED;
    return r;
  }
  return inner_->Send(cdb, direction, data, length, timeoutMs);
}

void StoppableTransport::Close() {
  if (inner_) inner_->Close();
}

bool StoppableTransport::IsOpen() const { return inner_ && inner_->IsOpen(); }

void StoppableClock::SleepMs(uint32_t ms) {
  if (stop_.stop_requested()) {
    skippedMs_.fetch_add(ms);
    return;
  }
  inner_.SleepMs(ms);
}

uint64_t StoppableClock::NowMs() { return inner_.NowMs() + skippedMs_.load(); }

}  // namespace flashery
