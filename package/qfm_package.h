// QfmSection and QfmPackage: what an opened package becomes in memory.
//
// The station holds one QfmPackage per accepted package. The package check
// worker fills a fresh one (OpenPackage, application staging,
// BindExtendSections) and then publishes it; port jobs take a
// std::shared_ptr<const QfmPackage> snapshot when they start, so a new
// configuration never changes what a running job writes. The record is a
// plain value and may be copied freely.
//
// A section is to be written only when IsPresent() (its present flag is
// exactly 1); any other header value means absent. Image bytes are read from
// the file named by packagePath at the section's offset, and only while that
// file is still the one verified (fileIdentity, package_identity.h).
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include <optional>

#include "package/package_identity.h"
#include "package/qfm_layout.h"

namespace flashery {

struct QfmSection {
  int32_t present = 0;      // the header's present byte; 1 = present
  uint32_t offset = 0;      // absolute file offset
  uint32_t size = 0;        // bytes
  uint32_t checkValue = 0;  // stored SectionCheckValue
  std::string name;         // BL, NK, system and Extend sections only (UTF-8)
  uint8_t fileCode = 0;     // Extend sections: code bound by BindExtendSections

  bool IsPresent() const { return present == 1; }
};

// The extension table of the settings (ExdFile/filename1..7, filecode1..7):
// the names an Extend section may carry and the code each binds to.
struct QfmExtensionTable {
  static constexpr int kEntries = 7;
  std::array<std::string, kEntries> names;
  std::array<uint8_t, kEntries> codes{};
};

struct QfmPackage {
  // Full path of the accepted package; empty while none is accepted.
  std::string packagePath;
  // The file the sections were verified from (set with packagePath).
  std::optional<PackageIdentity> fileIdentity;
  std::string productName;  // handset model the package is for
  std::string versionName;
  std::string infoText;     // "<version label> :<version> , <system label>:  <system name>"
  uint32_t packageSize = 0;  // as stored in the header, shown by the port panels
  std::string sha256;        // of the whole accepted file, lower-case hex
  std::array<QfmSection, kQfmSectionCount> sections{};
  QfmExtensionTable extensionTable;  // set by the owner from the settings

  QfmSection& section(QfmSectionKey key) { return sections[static_cast<size_t>(key)]; }
  const QfmSection& section(QfmSectionKey key) const { return sections[static_cast<size_t>(key)]; }
  // Extend slot 1..5.
  QfmSection& extend(int slot) { return section(ExtendKey(slot)); }
  const QfmSection& extend(int slot) const { return section(ExtendKey(slot)); }

  bool accepted() const { return !packagePath.empty(); }
  // Forgets everything read from a package file; keeps the extension table.
  void ClearOpenedState();
};

}  // namespace flashery
