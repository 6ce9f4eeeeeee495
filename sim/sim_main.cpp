// flashery-sim: N simulated handsets on the simulated bus in one process.
// One thread per socket, serving its units in turn (--units); the main thread waits for SIGINT or SIGTERM
// (blocked in every thread and taken with sigwait), then stops the handsets,
// which leave the bus and write their final reports.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "sim/handset_model.h"
#include "sim/handset_server.h"
#include "sim/sim_options.h"

using namespace flashery;
using namespace flashery::sim;

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  ParsedOptions parsed = ParseSimOptions(args);
  if (parsed.ok() && parsed.options.help) {
    std::fputs(SimUsage().c_str(), stdout);
    return 0;
  }
  if (!parsed.ok()) {
    std::fprintf(stderr, "flashery-sim: %s\n%s", parsed.error.c_str(), SimUsage().c_str());
    return 2;
  }
  const SimOptions& options = parsed.options;
  if (!MakeDirectories(options.dir)) {
    std::fprintf(stderr, "flashery-sim: cannot create %s\n", options.dir.c_str());
    return 2;
  }

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  SystemClock clock;
  StopSignal stop;
  std::vector<std::unique_ptr<HandsetModel>> models;
  std::vector<std::unique_ptr<HandsetServer>> servers;
  for (int i = 1; i <= options.count; ++i) {
    models.push_back(std::make_unique<HandsetModel>(HandsetConfigFor(options, i), clock));
    servers.push_back(std::make_unique<HandsetServer>(*models.back(), options.dir, clock, clock.scale(), stop));
    std::string error;
    if (!servers.back()->Appear(error)) {
      std::fprintf(stderr, "flashery-sim: %s\n", error.c_str());
      servers.clear();  // the ones already on the bus leave it
      return 2;
    }
  }
  // The serials the handsets show now, read before their threads start:
  // a handset that restarts may change its serial from its own thread.
  std::string serials;
  for (auto& model : models) serials += model->busSerial() + "\n";
  // A socket's thread serves its first unit, then each further one: after
  // a unit completed and left, the next arrives after the gap.
  auto socketBody = [&](size_t k) {
    const int socket = static_cast<int>(k) + 1;
    std::unique_ptr<HandsetModel> model;
    std::unique_ptr<HandsetServer> server;
    for (int unit = 1;; ++unit) {
      HandsetServer& current = unit == 1 ? *servers[k] : *server;
      if (!current.Run(unit < options.units)) return;
      if (!WaitStation(clock, options.unitGapMs, stop)) return;
      auto nextModel = std::make_unique<HandsetModel>(HandsetConfigFor(options, socket, unit + 1), clock);
      auto nextServer = std::make_unique<HandsetServer>(*nextModel, options.dir, clock, clock.scale(), stop);
      std::string error;
      if (!nextServer->Appear(error)) {
        std::fprintf(stderr, "flashery-sim: %s\n", error.c_str());
        return;
      }
      server = std::move(nextServer);  // the previous unit has left the bus
      model = std::move(nextModel);
    }
  };
  std::vector<std::thread> threads;
  for (size_t k = 0; k < servers.size(); ++k) threads.emplace_back(socketBody, k);

  std::string readyPath = JoinPath(options.dir, "sim.ready");
  WriteFileAtomic(readyPath, serials);
  std::printf("ready\n");
  std::fflush(stdout);

  int signalNumber = 0;
  while (sigwait(&stopSignals, &signalNumber) != 0) {
  }
  stop.Request();
  for (auto& t : threads) t.join();
  std::remove(readyPath.c_str());
  return 0;
}
