// Shift counts: the units good and failed since the station started, per
// port and in total, with the yield (good of the decided units). The
// ShiftCounter hears the job events (a JobListener): a job that ended ok
// counts good, one that failed counts failed; a unit stopped by the
// operator was never decided and is not counted. The administrator resets
// the counts. "Today's" counts come from the history store when one is
// attached: `today` is the hook it fills (unset: the window shows the
// counts since start only).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "text/job_listener.h"

namespace flashery {

struct Tally {
  uint32_t good = 0, failed = 0;
  bool operator==(const Tally&) const = default;
};

struct ShiftCounts {
  std::array<Tally, 8> ports{};
  Tally total;
  bool operator==(const ShiftCounts&) const = default;
};

// The counts after one job's end (pure).
ShiftCounts CountJobEnd(ShiftCounts counts, const JobEnd& end);
// "92.3%" (one decimal), or "-" when nothing was decided.
std::string YieldText(const Tally& tally);
// "12 / 1 (92.3%)": good / failed (yield).
std::string TallyText(const Tally& tally);

class ShiftCounter final : public JobListener {
 public:
  void OnJobEnded(const JobEnd& end) override;
  ShiftCounts counts() const;
  void Reset();
  // Called (on the job's thread) after each counted end.
  std::function<void()> onChanged;
  // Today's counts from the history store, when one is attached.
  std::function<std::optional<ShiftCounts>()> today;

 private:
  mutable std::mutex mutex_;
  ShiftCounts counts_;
};

}  // namespace flashery
