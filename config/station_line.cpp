#include "config/station_line.h"

#include "config/settings.h"
#include "platform/profile.h"

namespace flashery {

bool IsValidSocketPath(std::string_view path) {
  if (path.empty() || path.size() > kSocketPathMax) return false;
  for (char c : path) {
    bool ok = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' ||
              c == '.' || c == '_' || c == ':';
    if (!ok) return false;
  }
  return true;
}

bool PortMapEmpty(const PortMap& map) {
  for (const std::string& s : map)
    if (!s.empty()) return false;
  return true;
}

int MappedPort(const PortMap& map, std::string_view socketPath) {
  if (socketPath.empty()) return -1;
  for (size_t i = 0; i < map.size(); ++i)
    if (map[i] == socketPath) return static_cast<int>(i);
  return -1;
}

PortMapLoad PortMapFromValues(const std::array<std::string, kMappedPorts>& values) {
  PortMapLoad load;
  for (size_t i = 0; i < values.size(); ++i) {
    const std::string& v = values[i];
    if (v.empty()) continue;
    std::string key = "port" + std::to_string(i + 1);
    if (!IsValidSocketPath(v)) {
      load.problems.push_back(key + ": not a USB socket path; the port is left unmapped");
    } else if (int other = MappedPort(load.map, v); other >= 0) {
      load.problems.push_back(key + ": " + v + " is already port" + std::to_string(other + 1) +
                              "'s; the port is left unmapped");
    } else {
      load.map[i] = v;
    }
  }
  return load;
}

PortMapLoad LoadPortMap(const std::string& appFolder) {
  std::array<std::string, kMappedPorts> values;
  ProfileDocument doc = ProfileDocument::Load(DownloadSettingsPath(appFolder));
  for (size_t i = 0; i < values.size(); ++i)
    values[i] = doc.GetString("PortMap", "port" + std::to_string(i + 1), "", 256);
  return PortMapFromValues(values);
}

bool SavePortMap(const std::string& appFolder, const PortMap& map, std::string* why) {
  const std::string path = DownloadSettingsPath(appFolder);
  ProfileDocument doc = ProfileDocument::Load(path);
  for (size_t i = 0; i < map.size(); ++i) doc.Set("PortMap", "port" + std::to_string(i + 1), map[i]);
  return doc.Save(path, why);
}

bool StationAutoStart(const std::string& appFolder) {
  return GetProfileInt(DownloadSettingsPath(appFolder), "Station", "autoStart", 0) == 1;
}

}  // namespace flashery
