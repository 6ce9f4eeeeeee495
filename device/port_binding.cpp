#include "device/port_binding.h"

#include <optional>

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
                        const std::vector<PortRecord>& found) {
  ScanDecision d;
  d.ports = current;
  auto& ports = d.ports;

  auto foundIndexOf = [&](const std::string& id) -> std::optional<size_t> {
    for (size_t k = 0; k < found.size(); ++k)
      if (found[k].instanceId == id) return k;
    return std::nullopt;
  };

  // 1. Vanished handsets.
  for (PortRecord& p : ports) {
    if (p.bound() && foundIndexOf(p.instanceId)) continue;
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
    for (const PortRecord& f : found) {
      if (f.instanceId != p.instanceId) continue;
      if (!first) first = &f;
      if (SamePaths(p, f)) unchanged = true;
    }
    if (!first || unchanged) continue;
    if (p.state == kPortRunning) ++d.refreshedRunning;
    p = Refreshed(*first, p.state);
  }
  std::vector<std::optional<PortRecord>> newList;
  for (const PortRecord& f : found) {
    bool held = false;
    for (const PortRecord& p : ports)
      if (!f.instanceId.empty() && p.instanceId == f.instanceId && p.attached == 1) held = true;
    if (!held) newList.emplace_back(f);
  }

  auto takeFirst = [&](auto&& wanted) -> std::optional<PortRecord> {
    for (auto& entry : newList) {
      if (entry && wanted(*entry)) {
        PortRecord r = *entry;
        entry.reset();
        return r;
      }
    }
    return std::nullopt;
  };

  // 3. Returning handsets of bound ports that lost them.
  for (PortRecord& p : ports) {
    if (!p.bound() || p.attached == 1) continue;
    auto back = takeFirst([&](const PortRecord& r) { return r.instanceId == p.instanceId; });
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
    auto next = takeFirst([&](const PortRecord& r) {
      return !r.instanceId.empty() && !heldByAPort(r.instanceId);
    });
    if (!next) break;
    p = Refreshed(*next, kPortIdle);
    d.panels.push_back({i, true});
  }

  // 5. Empty ports.
  for (int i = 0; i < kPortCount; ++i)
    if (!ports[static_cast<size_t>(i)].bound()) d.panels.push_back({i, false});

  d.connectedCount =
      found.size() > static_cast<size_t>(kPortCount) ? kPortCount : static_cast<uint32_t>(found.size());
  return d;
}

}  // namespace flashery
