#include "app/startup.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <getopt.h>
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

namespace {

enum LongOnly : int {
  kOptHome = 256,
  kOptSim,
  kOptJson,
  kOptPorts,
  kOptWait,
  kOptCommandLine,
  kOptContinuous,
  kOptFileSets,
  kOptLogin,
  kOptPrepare,
};

const option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"home", required_argument, nullptr, kOptHome},
    {"sim", required_argument, nullptr, kOptSim},
    {"json", required_argument, nullptr, kOptJson},
    {"ports", required_argument, nullptr, kOptPorts},
    {"wait-s", required_argument, nullptr, kOptWait},
    {"commandline", no_argument, nullptr, kOptCommandLine},
    {"continuous", no_argument, nullptr, kOptContinuous},
    {"file-sets", no_argument, nullptr, kOptFileSets},
    {"login", required_argument, nullptr, kOptLogin},
    {"prepare", no_argument, nullptr, kOptPrepare},
    {nullptr, 0, nullptr, 0},
};

bool TakesValue(const std::string& a) {
  for (const option* o = kLongOptions; o->name; ++o)
    if (o->has_arg == required_argument && a == std::string("--") + o->name) return true;
  return false;
}

// Words of a single dash that are not the station's short options ("-h")
// are plain words, as every other word: the original accepted anything,
// "-commandline" among them. Such a word is kept only as the value of the
// option before it.
bool IsPlainDashWord(const std::string& a) {
  if (a.size() < 2 || a[0] != '-' || a[1] == '-') return false;
  return a.find_first_not_of('h', 1) != std::string::npos;
}

}  // namespace

StartupOptions ParseStartupArgs(const std::vector<std::string>& args) {
  StartupOptions o;
  o.commandLineMode = ContainsCommandLineWord(args);
  std::vector<std::string> kept{"flashery"};
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--") {
      kept.insert(kept.end(), args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
      break;
    }
    if (IsPlainDashWord(args[i]) && !(i > 0 && TakesValue(args[i - 1]))) continue;
    kept.push_back(args[i]);
  }
  std::vector<char*> argv;
  for (auto& a : kept) argv.push_back(a.data());
  argv.push_back(nullptr);

  auto fail = [&o](const std::string& message) {
    if (o.error.empty()) o.error = message;
  };
  // getopt keeps its position in globals: 0 starts it afresh (GNU).
  optind = 0;
  opterr = 0;
  int c;
  while ((c = getopt_long(static_cast<int>(kept.size()), argv.data(), ":h", kLongOptions, nullptr)) != -1) {
    std::string v = optarg ? optarg : "";
    switch (c) {
      case 'h': o.help = true; break;
      case kOptHome: o.home = v; break;
      case kOptSim: o.sim = v; break;
      case kOptJson: o.jsonPath = v; break;
      case kOptPorts:
        if (!ParseInt(v, 1, 8, o.ports)) fail("--ports takes a number from 1 to 8");
        break;
      case kOptWait:
        if (!ParseInt(v, 1, 86400, o.waitSeconds)) fail("--wait-s takes seconds from 1 to 86400");
        break;
      case kOptCommandLine: o.commandLineMode = true; break;
      case kOptContinuous: o.continuous = true; break;
      case kOptFileSets: o.fileSets = true; break;
      case kOptLogin:
        if (v != "operator" && v != "administrator") fail("--login takes operator or administrator");
        o.login = v;
        break;
      case kOptPrepare: o.prepare = true; break;
      case ':': fail(std::string(argv[static_cast<size_t>(optind) - 1]) + " needs a value"); break;
      default: {
        std::string word = optind > 0 && optind <= static_cast<int>(kept.size()) ? kept[static_cast<size_t>(optind) - 1] : "";
        fail("unknown option " + (optopt ? std::string("-") + static_cast<char>(optopt) : word));
        break;
      }
    }
  }
  // Other words (the original accepted anything, "commandline" among them)
  // are ignored.
  if (o.continuous && !o.commandLineMode) fail("--continuous belongs to the unattended mode (commandline)");
  if (o.fileSets && !o.commandLineMode) fail("--file-sets belongs to the unattended mode (commandline)");
  return o;
}

std::string StartupUsage() {
  return "Usage: flashery [commandline] [options]\n"
         "       flashery ports [--learn]   (the handsets' sockets and ports; --help)\n"
         "       flashery history [options]   (the record of every unit; --help)\n"
         "\n"
         "Writes a firmware release (a QFM package and file sets) to up to eight\n"
         "handsets in download mode. Without the word 'commandline' the station\n"
         "opens its window; with it, it prepares the configured package and runs\n"
         "the download unattended, without a window.\n"
         "\n"
         "Options:\n"
         "  --home DIR    program folder (settings, language files, log, staging);\n"
         "                default: FLASHERY_HOME, else the folder of the program when it\n"
         "                holds the settings or can be written, else /var/lib/flashery\n"
         "  --sim DIR     use the simulated handsets of flashery-sim in DIR\n"
         "                (also FLASHERY_BUS=sim:DIR); default: the USB bus (sysfs)\n"
         "  --ports N     unattended: wait for N handsets and download to them at once (1-8)\n"
         "  --wait-s S    unattended: wait at most S seconds for the handsets (default 500)\n"
         "  --json FILE   write a run record as JSON lines to FILE\n"
         "  --continuous  unattended: serve units until SIGTERM or SIGINT, every port\n"
         "                re-arming when its handset is replaced\n"
         "  --file-sets   unattended: check and write the file sets as well, as the\n"
         "                window does\n"
         "  --login ROLE  window: open as 'operator' without the login dialog\n"
         "                (the administrator always gives the password)\n"
         "  --prepare     window: check the saved folder and ticks at start\n"
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
