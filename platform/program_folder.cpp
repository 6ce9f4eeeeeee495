#include "platform/program_folder.h"

#include <climits>
#include <cstdlib>
#include <unistd.h>

#include "platform/paths.h"

namespace flashery {

static std::string Normalize(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (!p.empty() && p[0] != '/') {
    char cwd[PATH_MAX];
    if (::getcwd(cwd, sizeof cwd)) p = JoinPath(cwd, p);
  }
  return p;
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

std::optional<std::string> ProgramFolder(const std::string& homeOption) {
  if (!homeOption.empty()) return Normalize(homeOption);
  const char* env = std::getenv("FLASHERY_HOME");
  if (env && *env) return Normalize(env);
  return ExecutableFolder();
}

}  // namespace flashery
