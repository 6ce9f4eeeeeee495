// The handset's storage areas and their preparation (PrepareStorage /
// PollStorage).
//
// The simulated handset has four areas below storage/: "udisk" (built-in
// resources), "gpsdata" (map data), "quillon" (brand files) and "system".
// PrepareStorage formats areas, i.e. empties their folders: mode 1 all four
// at once, mode 2 udisk, modes 3 and 4 quillon, mode 5 gpsdata. A prepared
// mode reports completion after the preparation time; its poll reply is then
// "end=p1=1:p2=1:p3=1:p4=1" for mode 1 (p1..p4 = the four areas) and "1"
// for the others. While it is still working mode 1 answers the areas done
// so far ("p1=1:p2=0:p3=0:p4=0", without "end=") and the others "0".
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace flashery::sim {

class StorageAreas {
 public:
  explicit StorageAreas(std::string storageFolder);

  // Starts preparing `mode` (1..5) at nowMs, taking durationMs. False when
  // an area folder could not be emptied.
  bool Prepare(int mode, uint64_t nowMs, uint32_t durationMs);
  bool prepared(int mode) const;
  bool done(int mode, uint64_t nowMs) const;
  // The poll reply text, whether done or not.
  std::string PollText(int mode, uint64_t nowMs) const;
  static std::string DoneText(int mode);

 private:
  std::string folder_;
  std::array<bool, 6> prepared_{};
  std::array<uint64_t, 6> startMs_{};
  std::array<uint32_t, 6> durationMs_{};
};

}  // namespace flashery::sim
