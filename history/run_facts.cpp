#include "history/run_facts.h"

#include <unistd.h>

#include <climits>

namespace flashery {

std::string StationHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "unknown";
  return name;
}

std::string SelectionText(const DownloadSelection& s) {
  const std::pair<int32_t, const char*> parts[] = {
      {s.bootloaderSelected, "bootloader"}, {s.kernelSelected, "kernel"},     {s.systemSelected, "system"},
      {s.gpsSelected, "gps"},               {s.resourcesSelected, "resources"}, {s.quilmartSelected, "quilmart"},
      {s.brandSelected, "brand"},           {s.formatMode, "format"},
  };
  std::string out;
  for (auto [on, name] : parts) {
    if (on == 0) continue;
    if (!out.empty()) out += ',';
    out += name;
  }
  return out;
}

RunFacts MakeRunFacts(const DownloadSelection& selection, const QfmPackage* package, const std::string& mode,
                      const std::string& role) {
  RunFacts f;
  f.station = StationHostName();
  f.mode = mode;
  f.role = role;
  f.selection = SelectionText(selection);
  if (package) {
    const std::string& path = package->packagePath;
    size_t slash = path.find_last_of('/');
    f.packageFile = slash == std::string::npos ? path : path.substr(slash + 1);
    f.product = package->productName;
    f.version = package->versionName;
    f.packageSha256 = package->sha256;
  }
  return f;
}

}  // namespace flashery
