#include "device/port_binding.h"

#include <optional>

#include "device/handset_path.h"

namespace flashery {

namespace {

bool SamePaths(const PortRecord& a, const PortRecord& b) {
  return a.devicePath == b.devicePath && a.openPath == b.openPath &&
         a.productText == b.productText;
}

// The fresh record of a handset for a port, keeping the port's state.
PortRecord Refreshed(const PortRecord& fresh, uint32_t state) {
  PortRecord r = fresh;
  r.state = state;
  r.attached = 1;
  return r;
}

}  // namespace

ScanDecision DecideScan(const std::array<PortRecord, kPortCount>& current,
                        const std::vector<PortRecord>& allFound, std::string_view model, const PortMap& map) {
  ScanDecision d;
  d.ports = current;
  auto& ports = d.ports;

  // A running port sees every handset of the maker; the others only those
  // of the model.
  std::vector<bool> ofModel;
  for (const PortRecord& f : allFound) ofModel.push_back(MatchHandsetPath(f.devicePath, model));
  auto visible = [&](const PortRecord& p, size_t k) { return p.state == kPortRunning || ofModel[k]; };
  auto seen = [&](const PortRecord& p) {
    for (size_t k = 0; k < allFound.size(); ++k)
      if (allFound[k].instanceId == p.instanceId && visible(p, k)) return true;
    return false;
  };

  // 1. Vanished handsets.
  for (PortRecord& p : ports) {
    if (p.bound() && seen(p)) continue;
    if (p.state == kPortRunning)
      p.attached = 0;
    else
      p = PortRecord{};
  }

  // 2. Handsets already held by a port that sees them attached. The port
  // follows its handset to new paths only when nothing on the bus still
  // has its old ones (so two handsets sharing an identity cannot make it
  // flip between them).
  for (PortRecord& p : ports) {
    if (!p.bound() || p.attached != 1) continue;
    const PortRecord* first = nullptr;
    bool unchanged = false;
    for (size_t k = 0; k < allFound.size(); ++k) {
      const PortRecord& f = allFound[k];
      if (f.instanceId != p.instanceId || !visible(p, k)) continue;
      if (!first) first = &f;
      if (SamePaths(p, f)) unchanged = true;
    }
    if (!first || unchanged) continue;
    if (p.state == kPortRunning) ++d.refreshedRunning;
    p = Refreshed(*first, p.state);
  }
  // Entries of allFound not held by a port that sees them attached.
  std::vector<std::optional<size_t>> newList;
  for (size_t k = 0; k < allFound.size(); ++k) {
    const PortRecord& f = allFound[k];
    bool held = false;
    for (const PortRecord& p : ports)
      if (!f.instanceId.empty() && p.instanceId == f.instanceId && p.attached == 1) held = true;
    if (!held) newList.emplace_back(k);
  }

  auto takeFirst = [&](auto&& wanted) -> std::optional<PortRecord> {
    for (auto& entry : newList) {
      if (entry && wanted(allFound[*entry], *entry)) {
        PortRecord r = allFound[*entry];
        entry.reset();
        return r;
      }
    }
    return std::nullopt;
  };

  // 3. Returning handsets of bound ports that lost them.
  for (PortRecord& p : ports) {
    if (!p.bound() || p.attached == 1) continue;
    auto back = takeFirst(
        [&](const PortRecord& r, size_t k) { return r.instanceId == p.instanceId && visible(p, k); });
    if (!back) continue;
    if (p.state == kPortRunning) ++d.refreshedRunning;
    p = Refreshed(*back, p.state);
  }

  // 4. New handsets to idle empty ports.
  auto heldByAPort = [&](const std::string& id) {
    for (const PortRecord& p : ports)
      if (p.instanceId == id) return true;
    return false;
  };
  for (int i = 0; i < kPortCount; ++i) {
    PortRecord& p = ports[static_cast<size_t>(i)];
    if (p.state != kPortIdle || p.bound()) continue;
    const std::string& socket = map[static_cast<size_t>(i)];
    auto next = takeFirst([&](const PortRecord& r, size_t k) {
      if (!ofModel[k] || r.instanceId.empty() || heldByAPort(r.instanceId)) return false;
      return socket.empty() ? MappedPort(map, r.socketPath) < 0 : r.socketPath == socket;
    });
    if (!next) continue;
    p = Refreshed(*next, kPortIdle);
    d.panels.push_back({i, true});
  }

  // 5. Empty ports.
  for (int i = 0; i < kPortCount; ++i)
    if (!ports[static_cast<size_t>(i)].bound()) d.panels.push_back({i, false});

  // 6. Handsets of the model, and others only while a job runs on them.
  uint32_t count = 0;
  for (size_t k = 0; k < allFound.size(); ++k) {
    bool running = false;
    for (const PortRecord& p : ports)
      if (p.state == kPortRunning && p.bound() && p.instanceId == allFound[k].instanceId) running = true;
    if (ofModel[k] || running) ++count;
  }
  d.connectedCount = count > static_cast<uint32_t>(kPortCount) ? kPortCount : count;
  return d;
}

}  // namespace flashery
