// Test helpers that run the station's programs: a command with its exit
// status and output, and flashery-sim in the background until the test ends.
#pragma once

#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"

extern char** environ;

namespace flashery::testing {

inline std::string BinPath(const std::string& name) {
  const char* bin = std::getenv("FLASHERY_BIN");
  return JoinPath(bin ? bin : "build/bin", name);
}

inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

struct RunOutput {
  int status = -1;
  std::string out, err;
};

// Runs `args` through the shell with `env` prepended; stdout and stderr are
// kept in files under `dir`.
inline RunOutput RunCommand(const std::string& dir, const std::string& env, const std::vector<std::string>& args) {
  std::string cmd = env;
  for (const auto& a : args) cmd += " " + Quote(a);
  std::string outFile = JoinPath(dir, "run.out"), errFile = JoinPath(dir, "run.err");
  cmd += " >" + Quote(outFile) + " 2>" + Quote(errFile) + " </dev/null";
  RunOutput r;
  int raw = std::system(cmd.c_str());
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadWholeFile(outFile).value_or("");
  r.err = ReadWholeFile(errFile).value_or("");
  return r;
}

// flashery-sim in the background; stopped (SIGTERM, then reaped) when the
// object goes.
class SimProcess {
 public:
  SimProcess(const std::string& dir, const std::vector<std::string>& options, const std::string& timeScale) {
    std::vector<std::string> args = {BinPath("flashery-sim"), "--dir", dir};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envStore;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("FLASHERY_TIME_SCALE=", 0) != 0) envStore.emplace_back(*e);
    envStore.push_back("FLASHERY_TIME_SCALE=" + timeScale);
    std::vector<char*> envp;
    for (auto& e : envStore) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    std::string log = JoinPath(dir, "../sim.log");
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // Ready once it has put every handset on the bus (bounded wait).
    std::string ready = JoinPath(dir, "sim.ready");
    for (int i = 0; i < 2000 && pid_ > 0 && !PathExists(ready); ++i) ::usleep(5000);
  }
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int st = 0;
      ::waitpid(pid_, &st, 0);
    }
  }
  bool ready(const std::string& dir) const { return pid_ > 0 && PathExists(JoinPath(dir, "sim.ready")); }

 private:
  pid_t pid_ = -1;
};

}  // namespace flashery::testing
