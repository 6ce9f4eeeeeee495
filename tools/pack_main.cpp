// flashery-pack: the release tool for whoever prepares a resource folder.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tools/pack_command.h"

namespace flashery::pack {

static std::vector<Command>& Registry() {
  static std::vector<Command> commands;
  return commands;
}

bool RegisterCommand(const Command& command) {
  Registry().push_back(command);
  std::sort(Registry().begin(), Registry().end(),
            [](const Command& a, const Command& b) { return std::strcmp(a.name, b.name) < 0; });
  return true;
}

const std::vector<Command>& Commands() { return Registry(); }

static void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "Usage: flashery-pack COMMAND [ARGS...]\n"
               "\n"
               "Builds and checks what a station is given: QFM packages, preset\n"
               "application archives and resource folders with their list files.\n"
               "\nCommands:\n");
  for (const auto& c : Commands()) std::fprintf(out, "  %-8s %s\n           %s\n", c.name, c.synopsis, c.summary);
  std::fprintf(out,
               "\n'flashery-pack COMMAND --help' describes one command.\n"
               "Exit status: 0 good, 1 rejected (the station's message is printed),\n"
               "2 usage error or unreadable input.\n");
}

}  // namespace flashery::pack

int main(int argc, char** argv) {
  using namespace flashery::pack;
  if (argc < 2) {
    PrintUsage(stderr);
    return kUsage;
  }
  std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintUsage(stdout);
    return kGood;
  }
  std::vector<std::string> args(argv + 2, argv + argc);
  for (const auto& c : Commands()) {
    if (name != c.name) continue;
    for (const auto& a : args) {
      if (a == "--") break;  // later words are arguments
      if (a == "--help" || a == "-h") {
        std::printf("Usage: flashery-pack %s %s\n\n%s\n", c.name, c.synopsis, c.help);
        return kGood;
      }
    }
    return c.run(args);
  }
  std::fprintf(stderr, "flashery-pack: unknown command '%s'\n\n", name.c_str());
  PrintUsage(stderr);
  return kUsage;
}
