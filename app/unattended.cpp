// The unattended mode's entry: start-up, signals, the bus, the output, the
// run, the exit status.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

#include "app/application.h"
#include "app/command_line_job.h"
#include "app/exit_status.h"
#include "app/history_setup.h"
#include "app/live_table.h"
#include "app/modes.h"
#include "app/run_record.h"
#include "device/bus_factory.h"
#include "device/handset_bus.h"
#include "platform/clock.h"
#include "text/prompter.h"

namespace flashery {

namespace {

// SIGINT and SIGTERM are taken by one thread with sigwait (they are
// blocked in every other thread), which turns them into a stop request.
// SIGUSR1 ends that thread when the run is over.
class SignalWatcher {
 public:
  explicit SignalWatcher(std::stop_source& stop) {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    thread_ = std::thread([set, &stop] {
      for (;;) {
        int sig = 0;
        if (sigwait(&set, &sig) != 0 || sig == SIGUSR1) return;
        if (!stop.stop_requested())
          std::fprintf(stderr, "flashery: stopping: the jobs end at their next command\n");
        stop.request_stop();
      }
    });
  }
  ~SignalWatcher() {
    pthread_kill(thread_.native_handle(), SIGUSR1);
    thread_.join();
  }

 private:
  std::thread thread_;
};

// The records are flushed and checked before the run's end is told: an
// incomplete log or run record (already said once, when it happened) turns
// a good run's status into 1, and the closing line says which one.
void EndRecords(Application& app, RunRecord& record, UnattendedResult& result) {
  auto incomplete = [&](const std::string& which) {
    result.exitStatus = WithRecordsKept(result.exitStatus, false);
    result.reason += "; " + which + " is incomplete";
  };
  if (!app.log.Sync())
    incomplete(app.logFilePath.empty() ? std::string("the log of this run") : "the log " + app.logFilePath);
  if (!record.isOpen()) return;
  record.End(result.exitStatus, result.reason);
  if (!record.Close()) incomplete("the run record " + record.path());
}

int TerminalWidth() {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 100;
}

}  // namespace

int RunUnattended(const StartupOptions& options) {
  std::stop_source stop;
  SignalWatcher signals(stop);
  SystemClock clock;
  ConsolePrompter prompter;
  Application app(clock, prompter);
  if (int rc = app.BeginStartup(options); rc != kExitOk) return rc;
  app.FinishStartup(UserDefaultLangId());
  prompter.SetLog(&app.log);
  StartHistory(app, "unattended");
  if (stop.stop_requested()) {  // the start-up reads are bounded and never wait
    std::fprintf(stderr, "flashery: interrupted while starting\n");
    return kExitFailed;
  }

  BusChoice choice = ChooseBus(options.sim, std::getenv("FLASHERY_BUS"));
  if (!choice.ok) {
    std::fprintf(stderr, "flashery: %s\n", choice.error.c_str());
    app.log.WriteLine(choice.error);
    return kExitUsage;
  }
  std::unique_ptr<HandsetBus> bus = MakeHandsetBus(choice);
  RunRecord record;
  std::string why;
  if (!options.jsonPath.empty() && !record.Open(options.jsonPath, &why)) {
    std::string text = "cannot create the run record " + options.jsonPath + " (" + why + ")";
    std::fprintf(stderr, "flashery: %s\n", text.c_str());
    app.log.WriteLine(text);
    return kExitUsage;
  }
  record.SetReporter(&prompter, &app.texts);
  bool terminal = ::isatty(STDOUT_FILENO) == 1;
  LiveOutput live(clock, stdout, terminal, TerminalWidth());
  RunRecordListener recordWriter(record, clock);
  if (record.isOpen()) app.jobListeners.Add(&recordWriter);
  UnattendedResult result = RunCommandLineJob(app, *bus, live, record, stop);
  FinishHistory(app);
  EndRecords(app, record, result);
  if (result.jobsRan) {
    const int units = HistoryUnitsRecorded(app);
    std::printf("flashery: %s; %d unit%s recorded in the history; log: %s\n", result.reason.c_str(), units,
                units == 1 ? "" : "s", app.logFilePath.c_str());
  }
  return result.exitStatus;
}

}  // namespace flashery
