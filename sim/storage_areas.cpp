#include "sim/storage_areas.h"

#include <initializer_list>

#include "platform/files.h"
#include "platform/paths.h"
#include "text/status.h"

namespace flashery::sim {

namespace {
constexpr const char* kAreas[4] = {"udisk", "gpsdata", "quillon", "system"};

bool Empty(const std::string& folder) { return RemoveTree(folder) && MakeDirectories(folder); }
}  // namespace

StorageAreas::StorageAreas(std::string storageFolder) : folder_(std::move(storageFolder)) {}

bool StorageAreas::Prepare(int mode, uint64_t nowMs, uint32_t durationMs) {
  if (mode < 1 || mode > 5) return false;
  bool ok = true;
  switch (mode) {
    case 1:
      for (const char* area : kAreas) ok = Empty(JoinPath(folder_, area)) && ok;
      break;
    case 2: ok = Empty(JoinPath(folder_, "udisk")); break;
    case 3:
    case 4: ok = Empty(JoinPath(folder_, "quillon")); break;
    case 5: ok = Empty(JoinPath(folder_, "gpsdata")); break;
  }
  prepared_[mode] = true;
  startMs_[mode] = nowMs;
  durationMs_[mode] = durationMs;
  return ok;
}

bool StorageAreas::prepared(int mode) const { return mode >= 1 && mode <= 5 && prepared_[mode]; }

bool StorageAreas::done(int mode, uint64_t nowMs) const {
  return prepared(mode) && nowMs - startMs_[mode] >= durationMs_[mode];
}

std::string StorageAreas::DoneText(int mode) {
  return mode == 1 ? "end=p1=1:p2=1:p3=1:p4=1" : "1";
}

std::string StorageAreas::PollText(int mode, uint64_t nowMs) const {
  if (done(mode, nowMs)) return DoneText(mode);
  if (mode != 1) return "0";
  uint64_t spent = prepared(1) ? nowMs - startMs_[1] : 0;
  uint64_t quarter = durationMs_[1] / 4 + 1;
  int p[4];
  for (int i = 0; i < 4; ++i) p[i] = spent >= quarter * static_cast<uint64_t>(i + 1) ? 1 : 0;
  return FormatString("p1=%d:p2=%d:p3=%d:p4=%d", p[0], p[1], p[2], p[3]);
}

}  // namespace flashery::sim
