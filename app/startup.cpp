#include "app/startup.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "text/log_file.h"

namespace flashery {

bool ContainsCommandLineWord(const std::vector<std::string>& args) {
  for (const auto& a : args)
    if (a.find("commandline") != std::string::npos) return true;
  return false;
}

static bool ParseInt(const std::string& s, int lo, int hi, int& out) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  int v = std::atoi(s.c_str());
  if (v < lo || v > hi) return false;
  out = v;
  return true;
}

StartupOptions ParseStartupArgs(const std::vector<std::string>& args) {
  StartupOptions o;
  o.commandLineMode = ContainsCommandLineWord(args);
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&](const char* name, std::string& dest) {
      std::string prefix = std::string(name) + "=";
      if (a.rfind(prefix, 0) == 0) {
        dest = a.substr(prefix.size());
        return true;
      }
      if (a == name) {
        if (i + 1 >= args.size()) {
          o.error = std::string(name) + " needs a value";
          return true;
        }
        dest = args[++i];
        return true;
      }
      return false;
    };
    std::string v;
    if (a == "--help" || a == "-h") {
      o.help = true;
    } else if (value("--home", o.home) || value("--sim", o.sim) || value("--json", o.jsonPath)) {
    } else if (value("--ports", v)) {
      if (o.error.empty() && !ParseInt(v, 1, 8, o.ports)) o.error = "--ports takes a number from 1 to 8";
    } else if (value("--wait-s", v)) {
      if (o.error.empty() && !ParseInt(v, 1, 86400, o.waitSeconds)) o.error = "--wait-s takes seconds from 1 to 86400";
    } else if (a.rfind("--", 0) == 0) {
      if (o.error.empty()) o.error = "unknown option " + a;
    }
    // Other words (the original accepted anything, "commandline" among
    // them) are ignored.
  }
  return o;
}

std::string StartupUsage() {
  return "Usage: flashery [commandline] [options]\n"
         "\n"
         "Writes a firmware release (a QFM package and file sets) to up to eight\n"
         "handsets in download mode. Without the word 'commandline' the station\n"
         "opens its window; with it, it prepares the configured package and runs\n"
         "the download unattended, without a window.\n"
         "\n"
         "Options:\n"
         "  --home DIR    program folder (settings, language files, log, staging);\n"
         "                default: FLASHERY_HOME, else the folder of the program\n"
         "  --sim DIR     use the simulated handsets of flashery-sim in DIR\n"
         "                (also FLASHERY_BUS=sim:DIR); default: the USB bus (sysfs)\n"
         "  --ports N     unattended: wait for N handsets and download to them at once (1-8)\n"
         "  --wait-s S    unattended: wait at most S seconds for the handsets (default 500)\n"
         "  --json FILE   unattended: write a run record as JSON lines to FILE\n"
         "  -h, --help    show this help\n"
         "\n"
         "Environment: FLASHERY_TIME_SCALE scales every wait (tests and demos).\n"
         "Exit status: 0 every download succeeded, 1 a download failed, the run\n"
         "was interrupted or its log or run record is incomplete, 2 nothing could\n"
         "run (usage, a second instance, the configuration, the package, staging,\n"
         "no handset in time).\n";
}

std::string CreateRunLogFile(const std::string& appFolder, Clock& clock, std::string* failedPath, int* error) {
  auto fail = [&](const std::string& path, int err) {
    if (failedPath) *failedPath = path;
    if (error) *error = err;
    return std::string();
  };
  std::string logDir = JoinPath(appFolder, "log");
  errno = 0;
  if (!MakeDirectories(logDir)) return fail(logDir, errno != 0 && errno != EEXIST ? errno : ENOTDIR);
  std::tm t = clock.LocalTime();
  std::string name = LogFileName(t);
  std::string stem = name.substr(0, name.size() - 4);
  for (int n = 1; n < 1000; ++n) {
    std::string candidate = JoinPath(logDir, n == 1 ? name : stem + " (" + std::to_string(n) + ").txt");
    int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return candidate;
    }
    if (errno != EEXIST) return fail(candidate, errno);
  }
  return fail(JoinPath(logDir, name), EEXIST);
}

}  // namespace flashery
