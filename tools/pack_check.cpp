// flashery-pack check: a whole resource folder checked as the station's
// download file dialog checks it - the package (verification, application
// staging, extension binding, brand folder), the built-in resources and the
// GPS data - with the station's messages. The package is staged into the
// program folder given with --home (whose downtoolcfg.ini supplies the
// extension table), else into a temporary folder removed afterwards.
#include <cstdio>
#include <cstdlib>

#include "config/settings.h"
#include "filesets/gps_scan.h"
#include "filesets/package_check.h"
#include "filesets/resources_scan.h"
#include "platform/files.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "check";

// Prints every question and gives the answer chosen on the command line.
class AnsweringPrompter final : public Prompter {
 public:
  explicit AnsweringPrompter(int answer) : answer_(answer) {}
  int Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) override {
    std::printf("%s: %s\n", caption.c_str(), text.c_str());
    if (buttons == PromptButtons::Ok) return kAnswerOk;
    std::printf("  -> %s\n", answer_ == kAnswerOk ? "OK" : "Cancel");
    return answer_;
  }

 private:
  int answer_;
};

struct Sets {
  bool package = true, resources = true, gps = true;
};

bool ParseSets(const std::string& text, Sets& sets) {
  sets = {false, false, false};
  size_t i = 0;
  while (i <= text.size()) {
    size_t j = text.find(',', i);
    if (j == std::string::npos) j = text.size();
    std::string s = text.substr(i, j - i);
    if (s == "package") sets.package = true;
    else if (s == "resources") sets.resources = true;
    else if (s == "gps") sets.gps = true;
    else return false;
    i = j + 1;
  }
  return true;
}

int RunCheck(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"sets", "home", "answer", "codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 1) return Fail(kName, "expects one resource folder (see --help)", kUsage);
  const std::string& root = a.positional[0];
  if (!IsDirectory(root)) return Fail(kName, "not a folder: " + root, kUsage);
  Sets sets;
  if (auto s = a.Get("sets"); s && !ParseSets(*s, sets))
    return Fail(kName, "--sets takes package, resources and gps, separated by commas", kUsage);
  std::string answer = a.Get("answer").value_or("ok");
  if (answer != "ok" && answer != "cancel") return Fail(kName, "--answer is ok or cancel", kUsage);

  std::string home = a.Get("home").value_or("");
  std::string scratch;
  if (home.empty()) {
    char tmpl[] = "/tmp/flashery-check-XXXXXX";
    if (!::mkdtemp(tmpl)) return Fail(kName, "cannot make a temporary program folder", kUsage);
    home = scratch = tmpl;
  } else if (!IsDirectory(home)) {
    return Fail(kName, "not a folder: " + home, kUsage);
  }

  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError, a.Get("home").value_or(""));
  if (!codepage) return Fail(kName, cpError, kUsage);
  DownloadSelection selection;
  LoadSettings(home, selection);
  selection.resourceFolder = root;
  TextTable texts = StationTexts();
  AnsweringPrompter prompter(answer == "ok" ? kAnswerOk : kAnswerCancel);
  ConsoleScanReporter reporter(stdout, texts);
  ScanContext ctx{root, home, texts, prompter, reporter, *codepage};

  bool allOk = true;
  if (sets.package) {
    QfmExtensionTable table;
    table.names = selection.extendNames;
    table.codes = selection.extendCodes;
    std::atomic<unsigned> backups{0};
    PackageCheckResult r = PackageCheckJob(ctx, table, backups);
    QfmPackage published;
    ApplyPackageCheck(r, selection, published);
    if (r.ok) {
      std::printf("  %s\n  %s\n", selection.packagePath.c_str(), published.infoText.c_str());
      if (selection.brandSelected)
        std::printf("  brand folder %s, %u bytes\n", selection.brandFolder.c_str(), selection.brandFolderSize);
    }
    allOk = allOk && r.ok;
  }
  if (sets.resources) {
    SetScanResult r = ResourcesScanJob(ctx);
    ApplyResourcesScan(r, selection);
    if (r.ok) std::printf("  %s, %u bytes\n", selection.resourcesFolder.c_str(), selection.resourcesFolderSize);
    allOk = allOk && r.ok;
  }
  if (sets.gps) {
    SetScanResult r = GpsScanJob(ctx);
    ApplyGpsScan(r, selection);
    if (r.ok) std::printf("  %s, %u bytes\n", selection.gpsFolder.c_str(), selection.gpsFolderSize);
    allOk = allOk && r.ok;
  }
  if (!scratch.empty()) RemoveTree(scratch);
  return allOk ? kGood : kRejected;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "DIR [--sets package,resources,gps] [--home APPDIR] [--answer ok|cancel] [--codepage N]",
                       "check a whole resource folder as the station's scan does",
                       "Runs the station's checks over the resource folder DIR and prints their\n"
                       "messages: the package (exactly one *.QFM, verified, its application\n"
                       "archives staged, its extension sections bound, the brand folder quillon\n"
                       "checked), the built-in resources (内置资源) and the GPS data (GPS), each\n"
                       "listed afresh and compared with its reference list. --sets chooses the\n"
                       "checks. The package is staged into APPDIR/quillon, whose downtoolcfg.ini\n"
                       "gives the extension table; without --home a temporary folder is used.\n"
                       "When optional GPS parts are missing the station asks whether to go on;\n"
                       "--answer gives the reply (default ok).\n"
                       "Exit status: 0 every check passed, 1 a check failed, 2 usage error.",
                       &RunCheck});

}  // namespace flashery::pack
