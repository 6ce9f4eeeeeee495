#include "platform/program_folder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {
namespace {

constexpr uint64_t kMaxLanguageFileBytes = 16u << 20;

std::string Normalize(std::string p, const std::string& workingFolder) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (!p.empty() && p[0] != '/' && !workingFolder.empty()) p = JoinPath(workingFolder, p);
  return p;
}

bool EndsWithLng(const std::string& name) {
  return name.size() > 4 && EqualsNoCase(std::string_view(name).substr(name.size() - 4), ".lng");
}

}  // namespace

std::optional<ProgramFolderChoice> ChooseProgramFolder(const ProgramFolderFacts& f) {
  if (!f.homeOption.empty()) return ProgramFolderChoice{Normalize(f.homeOption, f.workingFolder), false};
  if (!f.homeVariable.empty()) return ProgramFolderChoice{Normalize(f.homeVariable, f.workingFolder), false};
  if (f.executableFolder.empty()) return std::nullopt;
  if (f.executableFolderHoldsSettings) return ProgramFolderChoice{f.executableFolder, false};
  if (!f.executableInstalled && f.executableFolderWritable) return ProgramFolderChoice{f.executableFolder, false};
  return ProgramFolderChoice{kSharedProgramFolder, true};
}

std::string ShippedLanguageFolder(const std::string& executableFolder) {
  return JoinPath(DirName(executableFolder), "share/flashery/lang");
}

std::optional<std::string> ExecutableFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  buf[n] = '\0';
  std::string dir = DirName(buf);
  if (dir.empty()) return std::nullopt;
  return dir;
}

ProgramFolderFacts GatherProgramFolderFacts(const std::string& homeOption) {
  ProgramFolderFacts f;
  f.homeOption = homeOption;
  if (const char* env = std::getenv("FLASHERY_HOME")) f.homeVariable = env;
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd)) f.workingFolder = cwd;
  if (auto exe = ExecutableFolder()) {
    f.executableFolder = *exe;
    std::optional<std::string> settings = ResolveNoCase(*exe, "downtoolcfg.ini");
    f.executableFolderHoldsSettings = settings && IsRegularFile(*settings);
    f.executableInstalled = IsDirectory(ShippedLanguageFolder(*exe));
    f.executableFolderWritable = ::access(exe->c_str(), W_OK | X_OK) == 0;
  }
  return f;
}

std::optional<ProgramFolderChoice> ChooseProgramFolderOfProcess(const std::string& homeOption) {
  return ChooseProgramFolder(GatherProgramFolderFacts(homeOption));
}

std::optional<std::string> ProgramFolder(const std::string& homeOption) {
  auto choice = ChooseProgramFolderOfProcess(homeOption);
  if (!choice) return std::nullopt;
  return choice->folder;
}

bool PrepareSharedFolder(const std::string& folder, const std::string& languageSource, std::string* problem) {
  auto fail = [&](const std::string& path, int err) {
    if (problem) *problem = path + ": " + std::strerror(err);
    return false;
  };
  if (!IsDirectory(folder)) {
    if (::mkdir(folder.c_str(), 02775) != 0 && errno != EEXIST) return fail(folder, errno);
    if (!IsDirectory(folder)) return fail(folder, ENOTDIR);
    // The group first, then the mode: chown may clear the setgid bit.
    if (const struct group* g = ::getgrnam("flashery")) {
      if (::chown(folder.c_str(), static_cast<uid_t>(-1), g->gr_gid) != 0) return fail(folder, errno);
    }
    if (::chmod(folder.c_str(), 02775) != 0) return fail(folder, errno);
  }
  bool listed = false;
  std::vector<DirEntry> entries = ListFolder(languageSource, &listed);
  if (!listed) return true;  // nothing shipped beside this executable
  for (const DirEntry& e : entries) {
    if (e.isDir || e.isLink || !EndsWithLng(e.name)) continue;
    std::string target = JoinPath(folder, e.name);
    if (PathExists(target)) continue;
    int error = 0;
    std::string source = JoinPath(languageSource, e.name);
    std::optional<std::string> bytes = ReadWholeFile(source, kMaxLanguageFileBytes, &error);
    if (!bytes) {
      if (problem) *problem = source + ": " + DescribeReadError(error, kMaxLanguageFileBytes);
      return false;
    }
    if (!WriteFileAtomic(target, *bytes, problem)) return false;
  }
  return true;
}

void ShareWritesWithGroup() {
  mode_t old = ::umask(0);
  ::umask(old & ~static_cast<mode_t>(S_IRWXG));
}

}  // namespace flashery
