#include "device/sim_bus.h"

#include <sys/stat.h>

#include "config/station_line.h"
#include "device/handset_path.h"
#include "device/sim_transport.h"
#include "device/sim_wire.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

constexpr uint64_t kIdFileMaxBytes = 4096;

bool IsSocket(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

std::optional<std::string> FirstLine(const std::string& text) {
  size_t end = text.find_first_of("\r\n");
  std::string line = text.substr(0, end);
  size_t b = line.find_first_not_of(" \t");
  if (b == std::string::npos) return std::nullopt;
  size_t e = line.find_last_not_of(" \t");
  line = line.substr(b, e - b + 1);
  if (line.size() > kInterfacePathMax || line.find('\0') != std::string::npos) return std::nullopt;
  return line;
}

}  // namespace

std::vector<BusEntry> SimBus::List() {
  std::vector<BusEntry> out;
  for (const DirEntry& e : ListFolder(dir_)) {
    if (out.size() >= kMaxBusEntries) break;
    if (e.isDir) continue;
    auto serial = SimSerialFromIdFileName(e.name);
    if (!serial) continue;
    std::string socketPath = SimSocketPath(dir_, *serial);
    if (!IsSocket(socketPath)) continue;
    auto text = ReadWholeFile(JoinPath(dir_, e.name), kIdFileMaxBytes);
    if (!text) continue;
    auto path = FirstLine(*text);
    if (!path) continue;
    std::string usb;
    if (auto usbText = ReadWholeFile(JoinPath(dir_, *serial + ".usb"), kIdFileMaxBytes)) {
      auto line = FirstLine(*usbText);
      if (line && IsValidSocketPath(*line)) usb = *line;
    }
    out.push_back({*path, socketPath, usb});
  }
  return out;
}

std::unique_ptr<Transport> SimBus::NewTransport() {
  return std::make_unique<SimSocketTransport>(timeScale_);
}

}  // namespace flashery
