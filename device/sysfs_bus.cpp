#include "device/sysfs_bus.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>

#include "device/handset_path.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

namespace fs = std::filesystem;

constexpr size_t kAttributeMaxBytes = 256;
constexpr int kMaxWalkUp = 16;

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

// sysfs attributes report a size of a whole page whatever they hold, so
// they are read up to a bound rather than by their size.
std::string ReadAttribute(const std::string& path) {
  int fd = OpenRegularFile(path, nullptr, nullptr, O_NOFOLLOW);
  if (fd < 0) return {};
  char buffer[kAttributeMaxBytes];
  size_t done = 0;
  while (done < sizeof buffer) {
    ssize_t r = ::read(fd, buffer + done, sizeof buffer - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  ::close(fd);
  std::string s(buffer, done);
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\0'))
    s.pop_back();
  return s;
}

std::optional<std::string> Canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::canonical(path, ec);
  if (ec) return std::nullopt;
  return p.string();
}

bool IsUnder(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/';
}

}  // namespace

std::vector<BusEntry> SysfsBus::List() {
  std::vector<BusEntry> out;
  auto root = Canonical(sysfsRoot_);
  if (!root) return out;
  std::string classDir = JoinPath(*root, "class/scsi_generic");

  std::vector<std::pair<unsigned, std::string>> nodes;
  for (const DirEntry& e : ListFolder(classDir)) {
    if (auto n = SgNumber(e.name)) nodes.emplace_back(*n, e.name);
  }
  std::sort(nodes.begin(), nodes.end());

  for (const auto& [number, name] : nodes) {
    if (out.size() >= kMaxBusEntries) break;
    auto scsiDevice = Canonical(JoinPath(JoinPath(classDir, name), "device"));
    if (!scsiDevice || !IsUnder(*scsiDevice, *root)) continue;

    std::string usbInterface;
    std::string dir = *scsiDevice;
    for (int up = 0; up < kMaxWalkUp && IsUnder(dir, *root); ++up) {
      if (IsRegularFile(JoinPath(dir, "bInterfaceClass"))) {
        usbInterface = dir;
        break;
      }
      dir = DirName(dir);
    }
    if (usbInterface.empty()) continue;
    if (ReadAttribute(JoinPath(usbInterface, "bInterfaceClass")) != "08") continue;
    std::string usbDevice = DirName(usbInterface);
    if (!IsUnder(usbDevice, *root)) continue;

    std::string serial = ReadAttribute(JoinPath(usbDevice, "serial"));
    if (serial.find_first_not_of(" \t") == std::string::npos)
      serial = "port_" + BaseName(usbDevice);
    auto path = BuildInterfacePath(ReadAttribute(JoinPath(*scsiDevice, "vendor")),
                                   ReadAttribute(JoinPath(*scsiDevice, "model")),
                                   ReadAttribute(JoinPath(*scsiDevice, "rev")), serial);
    if (!path || path->size() > kInterfacePathMax || !MatchHandsetPath(*path, "")) continue;
    out.push_back({*path, JoinPath(devRoot_, name)});
  }
  return out;
}

std::unique_ptr<Transport> SysfsBus::NewTransport() {
  return std::make_unique<SgIoTransport>(calls_);
}

}  // namespace flashery
