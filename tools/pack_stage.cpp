// flashery-pack stage: unpacks the preset application archives of a
// package into a folder exactly as the station stages them into its
// program folder: the folder's "quillon" staging folder is deleted first,
// every Extend section whose name contains "zip" is unpacked straight out
// of the package, and each unpacked tree is checked against the size its
// archive declares. The station's messages are printed as the station
// would show them. As the station, it stages nothing from a package whose
// header cannot be read or fails the header check (exit 1 with the
// station's text 105 or 104), and nothing in DIR is touched then.
#include <cstdio>

#include "package/package_file.h"
#include "package/package_messages.h"
#include "package/package_open.h"
#include "package/qfm_package.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"
#include "zip/staging.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "stage";
constexpr const char* kStagingFolderName = "quillon";

int RunStage(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 2) return Fail(kName, "expects PKG DIR (see --help)", kUsage);
  const std::string &pkg = a.positional[0], &dir = a.positional[1];

  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  TextTable texts = StationTexts();
  std::optional<PackageFile> file = PackageFile::Open(pkg);
  if (!file) return Fail(kName, StationText(texts, package_text::kCannotOpen) + ": " + pkg, kUsage);
  ConsolePrompter prompter;
  QfmHeader header;
  if (!ReadPackageHeader(*file, header, PackageContext{texts, prompter, *codepage}))
    return Fail(kName, StationText(texts, package_text::kHeaderUnreadable) + ": " + pkg, kRejected);
  if (header.ComputeHeaderCheck() != header.HeaderCheck())
    return Fail(kName, StationText(texts, package_text::kRejected), kRejected);
  file.reset();
  if (!MakeDirectories(dir)) return Fail(kName, "cannot create " + dir, kUsage);
  std::string staging = JoinPath(dir, kStagingFolderName);
  if (IsDirectory(staging) && !RemoveTree(staging)) return Fail(kName, "cannot delete " + staging, kUsage);

  std::atomic<unsigned> backupCounter{0};
  StagingContext context{texts, prompter, backupCounter, *codepage};
  QfmPackage package;
  StagingReport report;
  int staged = StageAppPackages(package, pkg, dir, context, &report);

  for (const StagedArchive& s : report.archives) {
    std::printf("Extend %d %s: %u entries, %llu bytes declared, %llu bytes unpacked into %s%s\n", s.region.slot,
                s.region.name.c_str(), s.region.records, static_cast<unsigned long long>(s.region.totalBytes),
                static_cast<unsigned long long>(s.unpackedBytes), JoinPath(dir, s.firstName).c_str(),
                s.unpacked ? "" : " (failed)");
    for (const std::string& d : s.diagnostics) std::fprintf(stderr, "flashery-pack stage:   %s\n", d.c_str());
  }
  if (!staged) return Fail(kName, "the package's application archives are not staged", kRejected);
  if (report.archives.empty()) std::printf("%s holds no application archives\n", pkg.c_str());
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "PKG DIR [--codepage N]", "unpack a package's preset application archives as the station does",
                       "Unpacks the application archives of the package PKG into the folder DIR as\n"
                       "the station unpacks them into its program folder: DIR/quillon is deleted\n"
                       "first, then every Extend section whose name contains \"zip\" is unpacked\n"
                       "straight out of the package, and each unpacked tree (normally DIR/quillon)\n"
                       "must hold exactly the bytes its archive declares. A file that cannot be\n"
                       "written is moved to DIR/Upgrade_Backup/<n>.dy, when that folder exists,\n"
                       "and written again. The station's messages go to stderr, as do the reasons\n"
                       "for entries that fail; one line per archive goes to stdout.\n"
                       "Exit status: 0 staged (or nothing to stage), 1 rejected with the station's\n"
                       "message (also a header that is not a package's or fails its check; DIR is\n"
                       "then not touched), 2 bad arguments or an unreadable package.",
                       &RunStage});

}  // namespace flashery::pack
