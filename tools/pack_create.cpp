// flashery-pack create: builds a QFM package from image files.
//
// Every input is copied as it is, streamed, and its check value computed on
// the way; the header check is set last. --extend takes any file (an image,
// or an application archive whose name the station stages). The written
// package is then opened exactly as the station opens it, so a package this
// command reports as created is one the station accepts.
#include <cstdio>

#include "package/package_open.h"
#include "package/package_writer.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "create";

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RunCreate(const std::vector<std::string>& args) {
  const std::vector<std::string> known = {"product", "version", "bl", "nk", "mlo", "system", "userdata",
                                          "cache", "recovery", "env", "extend", "system-name", "bl-name",
                                          "nk-name", "codepage"};
  ParsedArgs a = ParseArgs(args, known, {"extend"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 1) return Fail(kName, "expects one output path (see --help)", kUsage);
  std::optional<std::string> product = a.Get("product"), version = a.Get("version");
  if (!product || !version) return Fail(kName, "--product and --version are required", kUsage);
  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);

  PackageContents contents{*product, *version, {}};
  struct Fixed {
    const char* option;
    QfmSectionKey key;
    const char* nameOption;  // nullptr: the section has no name
  };
  const Fixed fixed[] = {{"bl", QfmSectionKey::BL, "bl-name"},
                         {"nk", QfmSectionKey::NK, "nk-name"},
                         {"mlo", QfmSectionKey::MLO, nullptr},
                         {"userdata", QfmSectionKey::Userdata, nullptr},
                         {"system", QfmSectionKey::System, "system-name"},
                         {"env", QfmSectionKey::Evn, nullptr},
                         {"cache", QfmSectionKey::Cache, nullptr},
                         {"recovery", QfmSectionKey::Recovery, nullptr}};
  for (const Fixed& f : fixed) {
    std::optional<std::string> path = a.Get(f.option);
    std::optional<std::string> name = f.nameOption ? a.Get(f.nameOption) : std::nullopt;
    if (!path) {
      if (name) return Fail(kName, std::string("--") + f.nameOption + " without --" + f.option, kUsage);
      continue;
    }
    contents.inputs.push_back({f.key, *path, f.nameOption ? name.value_or(BaseName(*path)) : ""});
  }
  for (const std::string& e : a.All("extend")) {
    size_t eq = e.find('=');
    if (eq == 0 || eq == std::string::npos || eq + 1 == e.size()) {
      return Fail(kName, "--extend wants NAME=FILE, got '" + e + "'", kUsage);
    }
    contents.inputs.push_back({QfmSectionKey::Extend1, e.substr(eq + 1), e.substr(0, eq)});
  }

  const std::string& out = a.positional[0];
  PackageWriteResult written = WritePackage(out, contents, *codepage);
  if (!written.ok) return Fail(kName, written.error, kUsage);

  TextTable texts = StationTexts();
  ConsolePrompter prompter;
  QfmPackage package;
  std::string error;
  if (!OpenPackage(package, out, error, PackageContext{texts, prompter, *codepage})) {
    return Fail(kName, "the written package is not accepted: " + error, kRejected);
  }
  std::printf("%s: %llu bytes, %zu sections\n", out.c_str(), static_cast<unsigned long long>(written.fileSize),
              contents.inputs.size());
  std::printf("%s\n", package.infoText.c_str());
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName,
                       "OUT --product P --version V [--bl F] [--nk F] [--mlo F] [--system F] [--userdata F] "
                       "[--cache F] [--recovery F] [--env F] [--extend NAME=F]... [--system-name N] "
                       "[--bl-name N] [--nk-name N] [--codepage N]",
                       "write a QFM package from image files, check values computed",
                       "Writes the package OUT: the 828-byte header, then each given file as its\n"
                       "section in the order BL, NK, MLO, userdata, system, Env, Extend 1..5, cache,\n"
                       "Recovery, with its check value. --extend NAME=F adds F as the next Extend\n"
                       "section (at most five) under NAME; the station binds it to the code its\n"
                       "settings give NAME, or stages it when it is an application archive. The\n"
                       "names of the BL, NK and system sections default to their file names.\n"
                       "Texts are stored in the station's code page (--codepage 936 GBK, 950 Big5 or\n"
                       "1252; default: the program folder's setting, else 936), as the original tools\n"
                       "store them, and must fit their fields: product 33 bytes, version 53, section\n"
                       "names 31, Extend names 29. A text the code page cannot hold is refused. The\n"
                       "finished package is opened as the station opens it.\n"
                       "Exit status: 0 written and accepted, 2 bad arguments or unreadable input.",
                       &RunCreate});

}  // namespace flashery::pack
