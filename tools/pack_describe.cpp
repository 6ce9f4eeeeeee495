// flashery-pack inspect: prints a package's header, its section table and
// the info line the station shows, without judging the sections (verify
// does that). Works on packages the station would refuse, as long as the
// header can be read.
#include <cinttypes>
#include <cstdio>

#include "package/package_messages.h"
#include "package/package_open.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "inspect";

int RunInspect(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 1) return Fail(kName, "expects one package path (see --help)", kUsage);
  const std::string& path = a.positional[0];
  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  std::optional<PackageFile> file = PackageFile::Open(path);
  TextTable texts = StationTexts();
  if (!file) return Fail(kName, StationText(texts, package_text::kCannotOpen) + ": " + path, kUsage);
  ConsolePrompter prompter;
  PackageContext context{texts, prompter, *codepage};
  QfmHeader h;
  if (!ReadPackageHeader(*file, h, context)) {
    return Fail(kName, StationText(texts, package_text::kHeaderUnreadable) + ": " + path, kUsage);
  }
  const uint32_t computed = h.ComputeHeaderCheck();
  std::printf("package       %s\n", path.c_str());
  std::printf("product       %s\n", h.ProductName(*codepage).c_str());
  std::printf("version       %s\n", h.VersionName(*codepage).c_str());
  std::printf("package size  %" PRIu32 " (file %" PRIu64 ")\n", h.PackageSize(), file->size());
  std::printf("header check  0x%08" PRIX32 " (computed 0x%08" PRIX32 ", %s)\n", h.HeaderCheck(), computed,
              computed == h.HeaderCheck() ? "good" : "MISMATCH");
  std::printf("info          %s\n\n",
              BuildInfoText(texts, h.VersionName(*codepage), h.SystemName(*codepage)).c_str());
  std::printf("%-9s %-7s %-10s %-10s %-10s %s\n", "section", "present", "offset", "size", "check", "name");
  for (QfmSectionKey key : kQfmCheckOrder) {
    QfmSection s = SectionFromHeader(h, key, *codepage);
    const bool inFile = file->Holds(s.offset, s.size);
    std::printf("%-9s %-7d 0x%08" PRIX32 " %-10" PRIu32 " 0x%08" PRIX32 " %s%s\n", SectionLabel(key).c_str(),
                s.present, s.offset, s.size, s.checkValue, s.name.c_str(),
                s.IsPresent() && !inFile ? "  (beyond the end of the file)" : "");
  }
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "PKG [--codepage N]", "print a package's header, sections and info line",
                       "Prints the header fields of the package PKG (product, version, stored size,\n"
                       "header check against the one computed), the info line the station shows\n"
                       "and every section's present byte, offset, size, stored check and name as\n"
                       "the header gives them. Section data is not read; use verify for that.\n"
                       "Exit status: 0 printed, 2 PKG cannot be opened or has no QFM header.",
                       &RunInspect});

}  // namespace flashery::pack
