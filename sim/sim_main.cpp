// flashery-sim: N simulated handsets on the simulated bus in one process.
// One thread per handset; the main thread waits for SIGINT or SIGTERM
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
  std::vector<std::thread> threads;
  for (auto& server : servers) threads.emplace_back([&server] { server->Run(); });

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
