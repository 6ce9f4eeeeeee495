// flashery-pack verify: the station's own acceptance of a package. The
// package is opened and verified exactly as the package check does it; the
// station's message boxes go to stderr. With --settings, the Extend
// sections are also bound to the codes of that downtoolcfg.ini, after the
// sections that carry application archives (names containing "zip") have
// been set aside, as staging does.
#include <cstdio>

#include "package/extend_binding.h"
#include "package/package_messages.h"
#include "package/package_open.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "verify";

QfmExtensionTable ReadExtensionTable(const ProfileDocument& doc) {
  QfmExtensionTable table;
  for (int d = 1; d <= QfmExtensionTable::kEntries; ++d) {
    table.names[d - 1] = doc.GetString("ExdFile", "filename" + std::to_string(d));
    table.codes[d - 1] = static_cast<uint8_t>(doc.GetInt("ExdFile", "filecode" + std::to_string(d), 0));
  }
  return table;
}

int RunVerify(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"settings", "codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 1) return Fail(kName, "expects one package path (see --help)", kUsage);
  const std::string& path = a.positional[0];
  std::optional<std::string> settings = a.Get("settings");
  if (settings && !IsRegularFile(*settings)) return Fail(kName, "cannot read " + *settings, kUsage);

  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  TextTable texts = StationTexts();
  ConsolePrompter prompter;
  QfmPackage package;
  std::string error;
  if (!IsRegularFile(path)) return Fail(kName, StationText(texts, package_text::kCannotOpen) + ": " + path, kUsage);
  if (!OpenPackage(package, path, error, PackageContext{texts, prompter, *codepage})) {
    return Fail(kName, error.empty() ? StationText(texts, package_text::kRejected) : error, kRejected);
  }
  if (settings) {
    package.extensionTable = ReadExtensionTable(ProfileDocument::Load(*settings));
    for (int k = 1; k <= kQfmExtendSlots; ++k) {
      if (package.extend(k).name.find("zip") != std::string::npos) package.extend(k).present = 0;
    }
    if (!BindExtendSections(package, error, texts)) return Fail(kName, error, kRejected);
  }
  std::printf("%s\n%s\n", StationText(texts, package_text::kAccepted).c_str(), package.infoText.c_str());
  for (int k = 1; k <= kQfmExtendSlots; ++k) {
    const QfmSection& s = package.extend(k);
    if (settings && s.IsPresent()) std::printf("Extend%d %s -> code %u\n", k, s.name.c_str(), s.fileCode);
  }
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "PKG [--settings downtoolcfg.ini] [--codepage N]", "accept or reject a package as the station does",
                       "Opens and verifies PKG as the station's package check does: header, header\n"
                       "check, then every present section's check value in the station's order.\n"
                       "The station's messages are printed. With --settings, every Extend section\n"
                       "that is written as an image (its name does not contain \"zip\") must also\n"
                       "carry a name of the settings' ExdFile table.\n"
                       "Exit status: 0 accepted, 1 rejected, 2 PKG or the settings cannot be read.",
                       &RunVerify});

}  // namespace flashery::pack
