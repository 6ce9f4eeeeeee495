// The production-line settings of downtoolcfg.ini, all off by default.
//
// [PortMap] ties ports to USB socket paths: port1=1-1.1 ... port8=1-1.8.
// A value is a socket path as sysfs names a USB device (bus number, '-',
// the port chain joined by '.'): at most kSocketPathMax characters of
// letters, digits, '-', '.', '_' and ':'. A value that is empty leaves the
// port unmapped; one with any other character, or one that repeats a
// socket path already given to a lower port, is dropped (the port stays
// unmapped) and named in the problems, so one typing slip can never tie
// two ports to one socket.
//
// [Station] autoStart=1 makes a handset newly bound to an idle port start
// that port's job at once (any other value, or none: off).
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace flashery {

constexpr size_t kMappedPorts = 8;
constexpr size_t kSocketPathMax = 64;

// Socket path per port (index 0 = port 1); empty = unmapped.
using PortMap = std::array<std::string, kMappedPorts>;

struct PortMapLoad {
  PortMap map;
  std::vector<std::string> problems;  // one line per dropped value
};

bool IsValidSocketPath(std::string_view path);
bool PortMapEmpty(const PortMap& map);
// The port (0-based) a socket path is mapped to; -1 when none.
int MappedPort(const PortMap& map, std::string_view socketPath);

// The map from the raw values of port1..port8.
PortMapLoad PortMapFromValues(const std::array<std::string, kMappedPorts>& values);
// The map of the program folder's downtoolcfg.ini.
PortMapLoad LoadPortMap(const std::string& appFolder);
// Writes [PortMap] port1..port8 (an unmapped port is written empty); false,
// with *why, when the file could not be written.
bool SavePortMap(const std::string& appFolder, const PortMap& map, std::string* why = nullptr);

bool StationAutoStart(const std::string& appFolder);

}  // namespace flashery
