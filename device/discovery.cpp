#include "device/discovery.h"

#include "device/handset_path.h"

namespace flashery {

PortRecord RecordFromBusEntry(const BusEntry& entry) {
  PortRecord r;
  HandsetPathParts parts = ParseHandsetPath(entry.interfacePath);
  r.productText = parts.productText;
  r.instanceId = parts.instanceId;
  r.devicePath = entry.interfacePath.substr(0, kDevicePathMax);
  r.openPath = entry.openPath;
  r.socketPath = entry.socketPath;
  r.attached = 1;
  return r;
}

std::vector<PortRecord> DiscoverHandsets(HandsetBus& bus, std::string_view model) {
  std::vector<PortRecord> found;
  for (const BusEntry& e : bus.List()) {
    if (found.size() >= kMaxBusEntries) break;
    if (MatchHandsetPath(e.interfacePath, model)) found.push_back(RecordFromBusEntry(e));
  }
  return found;
}

}  // namespace flashery
