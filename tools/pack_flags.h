// Flags of flashery-pack commands: options that take no value ("--check").
// They are taken out of the arguments before the valued options are parsed.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

namespace flashery::pack {

// True when `flag` was given; every occurrence is removed from args.
inline bool TakeFlag(std::vector<std::string>& args, const std::string& flag) {
  auto end = std::remove(args.begin(), args.end(), flag);
  bool given = end != args.end();
  args.erase(end, args.end());
  return given;
}

}  // namespace flashery::pack
