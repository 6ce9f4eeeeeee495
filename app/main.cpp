// flashery: the station program. With the word "commandline" among its
// arguments it runs the unattended mode without any window; otherwise the
// window mode. "flashery history ..." prints the unit records instead.
#include <cstdio>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/history_command.h"
#include "app/modes.h"
#include "app/ports_command.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args[0] == "history")
    return flashery::RunHistoryCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  if (!args.empty() && args[0] == "ports")
    return flashery::RunPortsCommand(std::vector<std::string>(args.begin() + 1, args.end()));
  flashery::StartupOptions options = flashery::ParseStartupArgs(args);
  if (options.help) {
    std::fputs(flashery::StartupUsage().c_str(), stdout);
    return flashery::kExitOk;
  }
  if (!options.error.empty()) {
    std::fprintf(stderr, "flashery: %s\n\n%s", options.error.c_str(), flashery::StartupUsage().c_str());
    return flashery::kExitUsage;
  }
  if (options.commandLineMode) return flashery::RunUnattended(options);
  return flashery::RunWindowMode(argc, argv, options);
}
