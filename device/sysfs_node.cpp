#include "device/sysfs_node.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "device/handset_path.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

constexpr size_t kAttributeMaxBytes = 256;
constexpr int kMaxWalkUp = 16;

}  // namespace

// sysfs attributes report a size of a whole page whatever they hold, so
// they are read up to a bound rather than by their size.
std::string ReadSysfsAttribute(const std::string& path) {
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

std::optional<std::string> CanonicalPath(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::canonical(path, ec);
  if (ec) return std::nullopt;
  return p.string();
}

bool IsInsideFolder(const std::string& path, const std::string& root) {
  if (root == "/") return path.size() > 1 && path[0] == '/';
  return path.size() > root.size() && path.compare(0, root.size(), root) == 0 &&
         path[root.size()] == '/';
}

std::optional<std::string> UsbDeviceFolder(const std::string& canonicalRoot,
                                           const std::string& folder) {
  std::string usbInterface;
  std::string dir = folder;
  for (int up = 0; up < kMaxWalkUp && IsInsideFolder(dir, canonicalRoot); ++up) {
    if (IsRegularFile(JoinPath(dir, "bInterfaceClass"))) {
      usbInterface = dir;
      break;
    }
    dir = DirName(dir);
  }
  if (usbInterface.empty()) return std::nullopt;
  if (ReadSysfsAttribute(JoinPath(usbInterface, "bInterfaceClass")) != "08") return std::nullopt;
  std::string usbDevice = DirName(usbInterface);
  if (!IsInsideFolder(usbDevice, canonicalRoot)) return std::nullopt;
  return usbDevice;
}

std::optional<std::string> UsbHandsetName(const std::string& canonicalRoot,
                                          const std::string& folder) {
  auto found = UsbDeviceFolder(canonicalRoot, folder);
  if (!found) return std::nullopt;
  const std::string& usbDevice = *found;
  std::string serial = ReadSysfsAttribute(JoinPath(usbDevice, "serial"));
  // The interface path drops blanks, tabs, line ends and zero bytes at the
  // ends of a serial: one of nothing else names no handset.
  if (serial.find_first_not_of(std::string_view(" \t\n\r\0", 5)) == std::string::npos)
    return "port_" + BaseName(usbDevice);
  return serial;
}

std::optional<std::string> NodeInstanceId(const std::string& sysfsRoot, unsigned major,
                                          unsigned minor) {
  auto root = CanonicalPath(sysfsRoot);
  if (!root) return std::nullopt;
  auto node = CanonicalPath(JoinPath(*root, "dev/char/" + std::to_string(major) + ":" +
                                                std::to_string(minor)));
  if (!node || !IsInsideFolder(*node, *root)) return std::nullopt;
  auto name = UsbHandsetName(*root, *node);
  if (!name) return std::nullopt;
  std::string id = InstanceIdOfSerial(*name);
  if (id.empty()) return std::nullopt;
  return id;
}

}  // namespace flashery
