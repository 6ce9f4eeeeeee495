#include "app/shift_counts.h"

#include <cstdio>

namespace flashery {

ShiftCounts CountJobEnd(ShiftCounts c, const JobEnd& end) {
  if (end.result == JobResult::Stopped || end.port < 0 || end.port >= 8) return c;
  Tally& port = c.ports[static_cast<size_t>(end.port)];
  if (end.result == JobResult::Ok) {
    ++port.good;
    ++c.total.good;
  } else {
    ++port.failed;
    ++c.total.failed;
  }
  return c;
}

std::string YieldText(const Tally& t) {
  uint64_t decided = uint64_t{t.good} + t.failed;
  if (decided == 0) return "-";
  char buf[16];
  std::snprintf(buf, sizeof buf, "%.1f%%", 100.0 * static_cast<double>(t.good) / static_cast<double>(decided));
  return buf;
}

std::string TallyText(const Tally& t) {
  return std::to_string(t.good) + " / " + std::to_string(t.failed) + " (" + YieldText(t) + ")";
}

void ShiftCounter::OnJobEnded(const JobEnd& end) {
  {
    std::lock_guard lock(mutex_);
    ShiftCounts next = CountJobEnd(counts_, end);
    if (next == counts_) return;
    counts_ = next;
  }
  if (onChanged) onChanged();
}

ShiftCounts ShiftCounter::counts() const {
  std::lock_guard lock(mutex_);
  return counts_;
}

void ShiftCounter::Reset() {
  std::lock_guard lock(mutex_);
  counts_ = ShiftCounts{};
}

}  // namespace flashery
