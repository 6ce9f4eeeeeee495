// Runs flashery-sim as a child process for the server tests and watches the
// bus folder with inotify, so the tests wait for events, never for time.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/files.h"

extern char** environ;

namespace flashery::sim::testing {

// Upper bound for any single wait of a test; reaching it is a failure.
constexpr int kEventBudgetMs = 20000;

class SimProcess {
 public:
  SimProcess(const std::string& dir, std::vector<std::string> args, const char* timeScale = "0.01") {
    const char* bin = std::getenv("FLASHERY_BIN");
    std::string exe = std::string(bin ? bin : "build/bin") + "/flashery-sim";
    std::vector<std::string> argv = {exe, "--dir", dir};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("FLASHERY_TIME_SCALE=", 0) != 0) env.emplace_back(*e);
    env.push_back(std::string("FLASHERY_TIME_SCALE=") + timeScale);
    std::vector<char*> cenv;
    for (auto& e : env) cenv.push_back(e.data());
    cenv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    if (posix_spawn(&pid_, exe.c_str(), &actions, nullptr, cargv.data(), cenv.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    stdout_ = out[0];
  }
  ~SimProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (stdout_ >= 0) ::close(stdout_);
  }
  // The first line of its standard output ("" when it ended first).
  std::string FirstLine() {
    std::string line;
    auto start = std::chrono::steady_clock::now();
    for (;;) {
      auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
      if (spent >= kEventBudgetMs) return line;
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(kEventBudgetMs - spent)) <= 0) return line;
      char c;
      if (::read(stdout_, &c, 1) != 1 || c == '\n') return line;
      line += c;
    }
  }
  // Sends the signal and returns the exit status (-1 when it did not exit
  // normally).
  int Stop(int signal = SIGTERM) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  int Wait() {
    int status = 0;
    if (pid_ <= 0 || ::waitpid(pid_, &status, 0) != pid_) return -1;
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
};

// Waits until `path` in the watched folder exists (or no longer exists).
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& dir) {
    fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ::inotify_add_watch(fd_, dir.c_str(), IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM);
  }
  ~FolderWatch() { ::close(fd_); }
  bool WaitFor(const std::string& path, bool present) {
    auto start = std::chrono::steady_clock::now();
    for (;;) {
      if (PathExists(path) == present) return true;
      auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                       std::chrono::steady_clock::now() - start).count();
      if (spent >= kEventBudgetMs) return false;
      pollfd p{fd_, POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(kEventBudgetMs - spent));
      char buffer[4096];
      while (::read(fd_, buffer, sizeof buffer) > 0) {
      }
    }
  }

 private:
  int fd_ = -1;
};

}  // namespace flashery::sim::testing
