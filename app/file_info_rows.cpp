#include "app/file_info_rows.h"

#include "text/status.h"

namespace flashery {
namespace {

int Kb(uint64_t bytes) { return static_cast<int>(bytes / 1024 + 1); }

}  // namespace

std::string PathFileName(const std::string& path) {
  size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::vector<FileInfoRow> FileInfoRows(const DownloadSelection& sel, const PackageFacts& pkg,
                                      const TextTable& texts) {
  std::vector<FileInfoRow> rows;
  if (sel.packagePath.empty()) return rows;
  rows.push_back({"0", texts.Get(37) + pkg.productName, texts.Get(36) + PathFileName(sel.packagePath), ""});
  int n = 0;
  auto add = [&](std::string kind, std::string name, std::string size) {
    rows.push_back({FormatString("%d", ++n), std::move(kind), std::move(name), std::move(size)});
  };
  if (sel.bootloaderSelected) {
    add("QFM file", pkg.infoText, texts.Get(38) + FormatString("\t%2dKB", Kb(pkg.packageSize)));
    std::string size = pkg.bootloader.present ? FormatString("u_boot file: %2dKB", Kb(pkg.bootloader.size))
                                              : std::string("Bootloader ");
    if (pkg.xloader.present) size += FormatString("，X_loader file: %2dKB", Kb(pkg.xloader.size));
    add("Bootloader ", pkg.bootloader.name, size);
  }
  if (sel.kernelSelected) {
    std::string size =
        pkg.kernel.present ? FormatString("kernel file:\t%2dKB", Kb(pkg.kernel.size)) : std::string("kernel");
    if (pkg.env.present) size += FormatString("，Env.txt file:\t%2dKB", Kb(pkg.env.size));
    add("kernel", pkg.kernel.name, size);
  }
  if (sel.systemSelected) {
    if (pkg.userdata.present)
      add("system file", "System version:" + pkg.system.name,
          FormatString("System:\t%2dKB", Kb(pkg.system.size)) +
              FormatString("，Userdata:\t%2dKB", Kb(pkg.userdata.size)));
    else
      add("system file", "system file", "system file");
  }
  if (sel.gpsSelected) add("GPS file", "GPS file", "GPS file" + FormatString(":\t%2dKB", Kb(sel.gpsFolderSize)));
  if (sel.resourcesSelected)
    add("resources file", "resources file",
        "resources file" + FormatString(":\t%2dKB", Kb(sel.resourcesFolderSize)));
  if (sel.brandSelected)
    add("Quillon file", "Quillon file", "Quillon file" + FormatString(":\t%2dKB", Kb(sel.brandFolderSize)));
  return rows;
}

}  // namespace flashery
