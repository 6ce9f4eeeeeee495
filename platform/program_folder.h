// The program folder: where settings, language files, the log folder and
// the staging folder live. Returned without a trailing slash; a relative
// folder is taken from the working folder.
//
// The choice, first that applies:
//   1. the folder given with --home DIR;
//   2. FLASHERY_HOME when set and not empty;
//   3. the executable's folder when it already holds the settings
//      (downtoolcfg.ini, any letter case): a station run from its folder;
//   4. the station's shared folder /var/lib/flashery when the executable is
//      installed, i.e. its shipped language files lie beside it in
//      ../share/flashery/lang (so root, who may write /usr/bin, still keeps
//      its settings out of it);
//   5. the executable's folder when the running user may write it (a build
//      tree, an unpacked copy);
//   6. /var/lib/flashery.
// Without an executable folder (no /proc) only 1 and 2 can give a folder.
//
// The shared folder belongs to the group "flashery" (setgid, group
// writable; the package's installation makes it). PrepareSharedFolder
// creates it when it is missing and copies in each shipped language file
// the folder lacks; a language file already there is never written over,
// so an administrator's edits survive updates.
#pragma once

#include <optional>
#include <string>

namespace flashery {

inline constexpr const char* kSharedProgramFolder = "/var/lib/flashery";

struct ProgramFolderFacts {
  std::string homeOption;        // --home, or empty
  std::string homeVariable;      // FLASHERY_HOME, or empty
  std::string workingFolder;     // for a relative --home or FLASHERY_HOME
  std::string executableFolder;  // empty when unknown
  bool executableFolderHoldsSettings = false;
  bool executableInstalled = false;  // shipped language files beside it
  bool executableFolderWritable = false;
};

struct ProgramFolderChoice {
  std::string folder;
  bool shared = false;  // the shared folder, to be prepared before use
};

// The choice above, from the facts alone.
std::optional<ProgramFolderChoice> ChooseProgramFolder(const ProgramFolderFacts& facts);
// Where an executable in `executableFolder` finds its shipped language files.
std::string ShippedLanguageFolder(const std::string& executableFolder);

// The folder of the running executable (from /proc/self/exe).
std::optional<std::string> ExecutableFolder();
// The facts of this process; homeOption: the value of --home, or empty.
ProgramFolderFacts GatherProgramFolderFacts(const std::string& homeOption);
// ChooseProgramFolder(GatherProgramFolderFacts(homeOption)); nothing is
// created (the tools read the folder, only the station prepares it).
std::optional<ProgramFolderChoice> ChooseProgramFolderOfProcess(const std::string& homeOption);
std::optional<std::string> ProgramFolder(const std::string& homeOption);

// Makes `folder` (mode 2775, group "flashery" when that group exists) when
// it is missing and copies each regular "*.lng" file of `languageSource`
// that `folder` lacks. False, with *problem ("<path>: <why>"), when the
// folder cannot be made or a file cannot be copied.
bool PrepareSharedFolder(const std::string& folder, const std::string& languageSource, std::string* problem);
// Clears the group's bits from the process's umask, so what the station makes
// in the shared folder (log, staging, settings) stays writable for the
// other operators of the group.
void ShareWritesWithGroup();

}  // namespace flashery
