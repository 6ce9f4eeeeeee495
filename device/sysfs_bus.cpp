#include "device/sysfs_bus.h"

#include <algorithm>
#include <optional>

#include "config/station_line.h"
#include "device/handset_path.h"
#include "device/sysfs_node.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

// The number of an "sgN" name; nullopt for anything else.
std::optional<unsigned> SgNumber(const std::string& name) {
  if (name.size() < 3 || name.size() > 8 || name.compare(0, 2, "sg") != 0) return std::nullopt;
  unsigned n = 0;
  for (size_t i = 2; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
    n = n * 10 + static_cast<unsigned>(name[i] - '0');
  }
  return n;
}

}  // namespace

std::vector<BusEntry> SysfsBus::List() {
  std::vector<BusEntry> out;
  auto root = CanonicalPath(sysfsRoot_);
  if (!root) return out;
  std::string classDir = JoinPath(*root, "class/scsi_generic");

  std::vector<std::pair<unsigned, std::string>> nodes;
  for (const DirEntry& e : ListFolder(classDir)) {
    if (auto n = SgNumber(e.name)) nodes.emplace_back(*n, e.name);
  }
  std::sort(nodes.begin(), nodes.end());

  for (const auto& [number, name] : nodes) {
    if (out.size() >= kMaxBusEntries) break;
    auto scsiDevice = CanonicalPath(JoinPath(JoinPath(classDir, name), "device"));
    if (!scsiDevice || !IsInsideFolder(*scsiDevice, *root)) continue;
    auto serial = UsbHandsetName(*root, *scsiDevice);
    if (!serial) continue;
    auto usbDevice = UsbDeviceFolder(*root, *scsiDevice);
    std::string socket = usbDevice ? BaseName(*usbDevice) : std::string();
    if (!IsValidSocketPath(socket)) socket.clear();
    auto path = BuildInterfacePath(ReadSysfsAttribute(JoinPath(*scsiDevice, "vendor")),
                                   ReadSysfsAttribute(JoinPath(*scsiDevice, "model")),
                                   ReadSysfsAttribute(JoinPath(*scsiDevice, "rev")), *serial);
    if (!path || path->size() > kInterfacePathMax || !MatchHandsetPath(*path, "")) continue;
    out.push_back({*path, JoinPath(devRoot_, name), socket});
  }
  return out;
}

std::unique_ptr<Transport> SysfsBus::NewTransport() {
  return std::make_unique<SgIoTransport>(calls_, sysfsRoot_);
}

}  // namespace flashery
