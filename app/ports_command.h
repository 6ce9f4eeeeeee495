// "flashery ports": the handsets on the bus and the port each takes.
//
//   flashery ports [--home DIR] [--sim DIR] [--learn [--wait-s S]]
//
// Without --learn: one line per handset of the maker on the bus, in bus
// order: its instance id (serial), its USB socket path ("-" when the bus
// cannot tell) and the port it would take on a station whose ports are all
// free, under the [PortMap] of the program folder's downtoolcfg.ini
// ("waits" when it would take none: its mapped port is taken by another
// handset on the same socket, or no unmapped port is free). Values of the
// map that were dropped are said on stderr. Exit 0; 2 for a usage error or
// a bus that cannot be chosen.
//
// --learn asks the operator to plug a handset into socket 1, 2, ... 8 in
// turn. For each, the bus is polled (every 200 ms, through the Clock) for
// at most S seconds (30 by default) until a socket shows a handset that
// showed none when the question was asked and is not taken yet; a line on
// standard input (Enter) skips the socket, as does the end of the wait (at
// the end of the input, every socket waits its whole time). Sockets the operator skipped are written unmapped. The
// map is written to [PortMap] (the rest of the file kept as it is) only
// when at least one socket was learned; the result is printed. Exit 0
// when written, 1 when nothing was learned or the write failed (said).
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

namespace flashery {

// args: the arguments after the word "ports".
int RunPortsCommand(const std::vector<std::string>& args);

// The socket to learn from one poll: the first socket path of `now` (in bus
// order) that is not in `before` and not `taken`; nullopt when none.
std::optional<std::string> NewSocket(const std::vector<std::string>& now, const std::set<std::string>& before,
                                     const std::set<std::string>& taken);

}  // namespace flashery
