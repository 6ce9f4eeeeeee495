// flashery-usb-handset: one simulated handset on a real USB bus (see
// usb_handset_server.h). The main thread serves the handset; SIGINT and
// SIGTERM are blocked in every thread and taken by a small thread with
// sigwait, which raises the stop signal. At the end the handset is
// unplugged and the gadget removed.
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "sim/handset_model.h"
#include "sim/handset_server.h"
#include "sim/usb_handset_ffs.h"
#include "sim/usb_handset_gadget.h"
#include "sim/usb_handset_options.h"
#include "sim/usb_handset_server.h"

using namespace flashery;
using namespace flashery::sim;

namespace {

int Fail(const std::string& error) {
  std::fprintf(stderr, "flashery-usb-handset: %s\n", error.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  ParsedUsbHandsetOptions parsed = ParseUsbHandsetOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok() || parsed.options.help) {
    bool help = parsed.ok();
    std::string text = (help ? "" : "flashery-usb-handset: " + parsed.error + "\n") + UsbHandsetUsage();
    std::fputs(text.c_str(), help ? stdout : stderr);
    return help ? 0 : 2;
  }
  UsbHandsetOptions& options = parsed.options;
  HandsetConfig config = UsbHandsetConfig(options);
  if (!MakeDirectories(options.handset.dir)) return Fail("cannot create " + options.handset.dir);

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  for (int s : {SIGINT, SIGTERM}) sigaddset(&stopSignals, s);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  StopSignal stop;
  std::thread signals([&] {
    int signalNumber = 0;
    while (sigwait(&stopSignals, &signalNumber) != 0) {
    }
    stop.Request();
  });
  auto finish = [&](int status) {
    if (!stop.requested()) ::kill(::getpid(), SIGTERM);
    signals.join();
    return status;
  };

  SystemClock clock;
  HandsetModel model(config, clock);
  UsbGadget gadget(options.gadget);
  std::string error;
  if (!gadget.Create(error)) return finish(Fail(error));
  FunctionFs ffs(stop.fd(), options.trace);
  if (!ffs.Open(options.gadget.ffsDir, "Quillon download", error)) return finish(Fail(error));
  UsbHandsetServer server(model, gadget, ffs, clock.scale(), stop, options.trace);
  if (!server.Appear(error)) return finish(Fail(error));
  server.Run();
  ffs.Close();
  gadget.Remove();
  return finish(0);
}
