// A small real package for the window tests and the README pictures, and
// the state the download file dialog's package check leaves behind once it
// has accepted a package: the package published to the station, its path
// in the selection, the images selected and packageReady set.
#pragma once

#include <memory>
#include <string>

#include "app/application.h"
#include "app/window_station.h"
#include "package/package_open.h"
#include "package/package_writer.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery::testing {

inline std::string PatternBytes(size_t n, uint8_t seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed) & 0xFF);
  return s;
}

struct SampleImages {
  std::string bl, nk, system;
};

// Writes the images and DIR/T745.QFM; the package path, or "" on failure.
inline std::string WriteSamplePackage(const std::string& dir, const SampleImages& images) {
  std::string bl = JoinPath(dir, "bl.bin"), nk = JoinPath(dir, "nk.bin"), sys = JoinPath(dir, "system.bin");
  if (!WriteWholeFile(bl, images.bl) || !WriteWholeFile(nk, images.nk) || !WriteWholeFile(sys, images.system))
    return "";
  PackageContents contents;
  contents.productName = "T745";
  contents.versionName = "V1.10";
  contents.inputs = {{QfmSectionKey::BL, bl, "u-boot.bin"},
                 {QfmSectionKey::NK, nk, "zImage"},
                 {QfmSectionKey::System, sys, "system.img"}};
  std::string path = JoinPath(dir, "T745.QFM");
  return WritePackage(path, contents).ok ? path : "";
}

// Opens and verifies the package and makes it what the station writes.
inline bool AcceptSamplePackage(Application& app, WindowStation& station, const std::string& path,
                                std::string& error) {
  auto package = std::make_shared<QfmPackage>();
  if (!OpenPackage(*package, path, error, PackageContext{app.texts, app.prompter()})) return false;
  station.PublishPackage(package);
  app.selection.packagePath = package->packagePath;
  app.selection.bootloaderSelected = app.selection.kernelSelected = app.selection.systemSelected = 1;
  app.selection.packageReady = 1;
  return true;
}

}  // namespace flashery::testing
