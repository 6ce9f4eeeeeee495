// Subcommands of flashery-pack. Each subcommand lives in its own file
// (pack_<name>.cpp) and registers itself with FLASHERY_PACK_COMMAND, so
// the tool's main needs no list of them.
//
// Exit statuses: 0 good, 1 rejected (with the station's message), 2 usage
// error or unreadable input.
#pragma once

#include <string>
#include <vector>

namespace flashery::pack {

constexpr int kGood = 0;
constexpr int kRejected = 1;
constexpr int kUsage = 2;

struct Command {
  const char* name;
  const char* synopsis;  // one line: arguments
  const char* summary;   // one line: what it does
  const char* help;      // the full help of the subcommand
  int (*run)(const std::vector<std::string>& args);  // args after the name
};

bool RegisterCommand(const Command& command);
const std::vector<Command>& Commands();

}  // namespace flashery::pack

#define FLASHERY_PACK_CONCAT2(a, b) a##b
#define FLASHERY_PACK_CONCAT(a, b) FLASHERY_PACK_CONCAT2(a, b)
#define FLASHERY_PACK_COMMAND(...) \
  static const bool FLASHERY_PACK_CONCAT(kRegistered_, __LINE__) = ::flashery::pack::RegisterCommand(__VA_ARGS__)
