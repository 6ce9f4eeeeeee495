#include "app/ports_command.h"

#include <getopt.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "config/station_line.h"
#include "device/bus_factory.h"
#include "device/discovery.h"
#include "device/port_binding.h"
#include "platform/clock.h"
#include "platform/program_folder.h"

namespace flashery {

namespace {

constexpr uint32_t kLearnPollMs = 200;

const char kUsage[] =
    "usage: flashery ports [--home DIR] [--sim DIR] [--learn [--wait-s S]]\n"
    "Lists the handsets on the bus: serial, USB socket path, the port it takes.\n"
    "  --learn      ask for a handset in socket 1..8 in turn (Enter skips) and\n"
    "               write the socket map ([PortMap] of downtoolcfg.ini)\n"
    "  --wait-s S   how long --learn waits for each socket (1..3600, default 30)\n"
    "  --home DIR   the program folder\n"
    "  --sim DIR    the simulated bus in DIR\n";

std::vector<std::string> SocketsOnBus(HandsetBus& bus) {
  std::vector<std::string> out;
  for (const PortRecord& r : DiscoverHandsets(bus, ""))
    if (!r.socketPath.empty()) out.push_back(r.socketPath);
  return out;
}

enum class Typed { Nothing, Line, End };

// A line typed on standard input: the operator skips the socket. The end
// of the input is told apart, so a station without a terminal still waits.
Typed ReadTyped() {
  pollfd p{STDIN_FILENO, POLLIN, 0};
  if (::poll(&p, 1, 0) <= 0) return Typed::Nothing;
  char c = 0;
  for (;;) {
    ssize_t n = ::read(STDIN_FILENO, &c, 1);
    if (n <= 0) return Typed::End;
    if (c == '\n') return Typed::Line;
  }
}

int List(HandsetBus& bus, const PortMap& map) {
  std::vector<PortRecord> found = DiscoverHandsets(bus, "");
  ScanDecision d = DecideScan({}, found, "", map);
  if (found.empty()) std::printf("no handset on the bus\n");
  for (const PortRecord& f : found) {
    int port = -1;
    for (int i = 0; i < kPortCount; ++i)
      if (d.ports[static_cast<size_t>(i)].instanceId == f.instanceId) port = i;
    std::string where = port < 0 ? "waits" : "port " + std::to_string(port + 1);
    if (port >= 0 && !map[static_cast<size_t>(port)].empty()) where += " (mapped)";
    std::printf("%-32s %-16s %s\n", f.instanceId.c_str(), f.socketPath.empty() ? "-" : f.socketPath.c_str(),
                where.c_str());
  }
  return 0;
}

int Learn(HandsetBus& bus, const std::string& appFolder, int waitSeconds) {
  SystemClock clock;
  PortMap map{};
  std::set<std::string> taken;
  bool stdinOpen = true;
  for (size_t k = 0; k < map.size(); ++k) {
    std::vector<std::string> now = SocketsOnBus(bus);
    std::set<std::string> before(now.begin(), now.end());
    std::printf("plug a handset into socket %zu (Enter skips) ... ", k + 1);
    std::fflush(stdout);
    const uint64_t end = clock.NowMs() + static_cast<uint64_t>(waitSeconds) * 1000;
    std::optional<std::string> socket;
    while (!socket && clock.NowMs() < end) {
      if (stdinOpen) {
        Typed typed = ReadTyped();
        if (typed == Typed::Line) break;
        if (typed == Typed::End) stdinOpen = false;
      }
      clock.SleepMs(kLearnPollMs);
      socket = NewSocket(SocketsOnBus(bus), before, taken);
    }
    if (socket) {
      map[k] = *socket;
      taken.insert(*socket);
      std::printf("%s\n", socket->c_str());
    } else {
      std::printf("skipped\n");
    }
  }
  if (taken.empty()) {
    std::fprintf(stderr, "flashery: no socket was learned; the map is left as it was\n");
    return 1;
  }
  std::string why;
  if (!SavePortMap(appFolder, map, &why)) {
    std::fprintf(stderr, "flashery: the socket map was not written: %s\n", why.c_str());
    return 1;
  }
  for (size_t k = 0; k < map.size(); ++k) std::printf("port%zu=%s\n", k + 1, map[k].c_str());
  return 0;
}

}  // namespace

std::optional<std::string> NewSocket(const std::vector<std::string>& now, const std::set<std::string>& before,
                                     const std::set<std::string>& taken) {
  for (const std::string& s : now)
    if (!before.count(s) && !taken.count(s)) return s;
  return std::nullopt;
}

int RunPortsCommand(const std::vector<std::string>& args) {
  enum { kHome = 256, kSim, kLearn, kWait };
  const option longOptions[] = {{"help", no_argument, nullptr, 'h'},       {"home", required_argument, nullptr, kHome},
                                {"sim", required_argument, nullptr, kSim},  {"learn", no_argument, nullptr, kLearn},
                                {"wait-s", required_argument, nullptr, kWait}, {nullptr, 0, nullptr, 0}};
  std::vector<std::string> words = {"flashery ports"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  std::string home, sim;
  bool learn = false;
  int waitSeconds = 30;
  optind = 0;
  opterr = 0;
  int c;
  while ((c = getopt_long(static_cast<int>(words.size()), argv.data(), "h", longOptions, nullptr)) != -1) {
    switch (c) {
      case 'h': std::fputs(kUsage, stdout); return 0;
      case kHome: home = optarg; break;
      case kSim: sim = optarg; break;
      case kLearn: learn = true; break;
      case kWait: {
        char* end = nullptr;
        long v = std::strtol(optarg, &end, 10);
        if (!*optarg || *end || v < 1 || v > 3600) {
          std::fprintf(stderr, "flashery ports: bad value '%s' for --wait-s\n\n%s", optarg, kUsage);
          return 2;
        }
        waitSeconds = static_cast<int>(v);
        break;
      }
      default:
        std::fprintf(stderr, "flashery ports: unknown or incomplete option '%s'\n\n%s", words[static_cast<size_t>(optind - 1)].c_str(), kUsage);
        return 2;
    }
  }
  if (optind < static_cast<int>(words.size())) {
    std::fprintf(stderr, "flashery ports: unexpected word '%s'\n\n%s", words[static_cast<size_t>(optind)].c_str(), kUsage);
    return 2;
  }
  auto folder = ProgramFolder(home);
  if (!folder) {
    std::fprintf(stderr, "flashery ports: no program folder\n");
    return 2;
  }
  BusChoice choice = ChooseBus(sim, std::getenv("FLASHERY_BUS"));
  std::unique_ptr<HandsetBus> bus = choice.ok ? MakeHandsetBus(choice) : nullptr;
  if (!bus) {
    std::fprintf(stderr, "flashery ports: %s\n", choice.error.c_str());
    return 2;
  }
  if (learn) return Learn(*bus, *folder, waitSeconds);
  PortMapLoad load = LoadPortMap(*folder);
  for (const std::string& p : load.problems) std::fprintf(stderr, "flashery ports: [PortMap] %s\n", p.c_str());
  return List(*bus, load.map);
}

}  // namespace flashery
