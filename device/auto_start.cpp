#include "device/auto_start.h"

#include <algorithm>

namespace flashery {

void NoteJobStarted(AutoStartState& state, const std::string& instanceId) {
  if (!instanceId.empty()) state.active.push_back(instanceId);
}

void NoteJobEnded(AutoStartState& state, const std::string& instanceId, bool attached) {
  if (instanceId.empty()) return;
  auto a = std::find(state.active.begin(), state.active.end(), instanceId);
  if (a != state.active.end()) state.active.erase(a);
  auto& f = state.finished;
  f.erase(std::remove_if(f.begin(), f.end(), [&](const FinishedUnit& u) { return u.instanceId == instanceId; }),
          f.end());
  f.push_back({instanceId, attached});
  while (f.size() > kAutoStartMemory) f.pop_front();
}

std::vector<int> DecideAutoStarts(const std::array<PortRecord, kPortCount>& ports, int servedPorts,
                                  AutoStartState& state) {
  auto onBus = [&](const std::string& id) {
    for (const PortRecord& p : ports)
      if (p.bound() && p.attached == 1 && p.instanceId == id) return true;
    return false;
  };
  auto& f = state.finished;
  for (auto it = f.begin(); it != f.end();) {
    if (onBus(it->instanceId)) {
      it->seenSinceEnd = true;
      ++it;
    } else if (it->seenSinceEnd) {
      it = f.erase(it);  // it has left the bus
    } else {
      ++it;
    }
  }
  std::vector<int> starts;
  const int served = std::clamp(servedPorts, 0, kPortCount);
  for (int i = 0; i < served; ++i) {
    const PortRecord& p = ports[static_cast<size_t>(i)];
    if (!p.bound() || p.attached != 1 || p.state != kPortIdle) continue;
    bool finished = std::any_of(f.begin(), f.end(), [&](const FinishedUnit& u) { return u.instanceId == p.instanceId; });
    bool active = std::find(state.active.begin(), state.active.end(), p.instanceId) != state.active.end();
    if (!finished && !active) starts.push_back(i);
  }
  return starts;
}

}  // namespace flashery
