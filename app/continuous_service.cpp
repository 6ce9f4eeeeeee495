#include "app/continuous_service.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <mutex>

#include "app/application.h"
#include "app/command_line_job.h"
#include "app/history_setup.h"
#include "app/job_stop.h"
#include "app/planned_bytes.h"
#include "app/port_job_threads.h"
#include "app/run_record.h"
#include "config/station_line.h"
#include "device/auto_start.h"
#include "device/device_monitor.h"
#include "device/handset_bus.h"
#include "device/port_record.h"
#include "engine/port_job.h"
#include "package/qfm_package.h"
#include "text/status.h"

namespace flashery {

namespace {

constexpr uint32_t kServicePollMs = 100;

// Hears the job events: the per-unit line and log entry, and the counts of
// the results (the run record's summaries come from its own listener).
class UnitReporter final : public JobListener {
 public:
  explicit UnitReporter(Application& app) : app_(app) {}

  void OnJobStarted(const JobStart& s) override {
    std::lock_guard lock(mutex_);
    if (s.port < 0 || s.port >= kPortCount) return;
    sockets_[static_cast<size_t>(s.port)] = s.socketPath;
    started_[static_cast<size_t>(s.port)] = app_.clock().RealSeconds();
  }
  void OnJobEnded(const JobEnd& e) override {
    std::string line;
    {
      std::lock_guard lock(mutex_);
      const bool known = e.port >= 0 && e.port < kPortCount;
      std::string socket = known ? sockets_[static_cast<size_t>(e.port)] : "";
      // Real time: the station clock may run scaled (simulated handsets).
      double seconds = known ? app_.clock().RealSeconds() - started_[static_cast<size_t>(e.port)] : 0;
      line = UnitLine(e, socket, seconds > 0 ? seconds : 0);
      ++units_;
      if (e.result == JobResult::Failed) ++failed_;
      if (e.result == JobResult::Stopped) ++stopped_;
      std::printf("%s\n", line.c_str());
      std::fflush(stdout);
    }
    app_.log.WriteLine(line);
  }
  void Counts(int& units, int& failed, int& stopped) const {
    std::lock_guard lock(mutex_);
    units = units_;
    failed = failed_;
    stopped = stopped_;
  }

 private:
  Application& app_;
  mutable std::mutex mutex_;
  std::array<std::string, kPortCount> sockets_;
  std::array<double, kPortCount> started_{};
  int units_ = 0, failed_ = 0, stopped_ = 0;
};

}  // namespace

std::string UnitLine(const JobEnd& e, const std::string& socketPath, double seconds) {
  std::string head = "unit " + (e.instanceId.empty() ? std::string("-") : e.instanceId) + " socket " +
                     (socketPath.empty() ? std::string("-") : socketPath) + " port " + std::to_string(e.port + 1) +
                     ": ";
  if (e.result == JobResult::Ok)
    return head + FormatString("ok, %.1f MB in %.1f s", static_cast<double>(e.bytes) / 1e6, seconds);
  std::string line = head + JobResultName(e.result) + " at " + JobStepName(e.step);
  std::string reason = e.reason;
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
    reason.pop_back();
  return reason.empty() ? line : line + " (" + reason + ")";
}

UnattendedResult ServeContinuously(Application& app, HandsetBus& bus, RunRecord& record, std::stop_source& stop,
                                   std::shared_ptr<const QfmPackage> package) {
  const int ports = app.options.ports;
  Clock& clock = app.clock();

  PortMapLoad map = LoadPortMap(app.appFolder);
  for (const std::string& p : map.problems) {
    std::fprintf(stderr, "flashery: [PortMap] %s\n", p.c_str());
    app.log.WriteLine("[PortMap] " + p);
  }

  auto selection = std::make_shared<const DownloadSelection>(app.selection);
  JobSemaphore semaphore(8);
  const uint64_t planned = PlannedImageBytes(*selection, *package, true);
  record.Start(ports, selection->packagePath, [&] {
    std::tm t = clock.LocalTime();
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &t);
    return std::string(buf);
  }());
  UnitReporter reporter(app);
  app.jobListeners.Add(&reporter);

  PortRecordTable records;
  DeviceMonitor monitor(bus, records, nullptr, clock);
  monitor.SetModelFilter(package->productName);
  monitor.SetPortMap(map.map);

  std::mutex stateMutex;
  AutoStartState state;
  auto runJob = [&](int port, std::stop_token token) {
    const std::string id = records.Get(port).instanceId;
    RunUnattendedPortJob(app, bus, records, semaphore, port, token, selection, package, planned);
    PortRecord after = records.Get(port);
    std::lock_guard lock(stateMutex);
    NoteJobEnded(state, id, after.instanceId == id && after.attached == 1);
  };
  {
    PortJobThreads threads([&](int port) -> PortJobThreads::Body {
      return [&, port](std::stop_token own) {
        RunWithEitherStop(own, stop.get_token(), [&](std::stop_token both) { runJob(port, both); });
      };
    });
    monitor.Start();
    while (!stop.stop_requested()) {
      std::array<PortRecord, kPortCount> now;
      for (int p = 0; p < kPortCount; ++p) now[static_cast<size_t>(p)] = records.Get(p);
      std::vector<int> starts;
      {
        std::lock_guard lock(stateMutex);
        starts = DecideAutoStarts(now, ports, state);
      }
      for (int p : starts) {
        if (threads.JobActive(p) || !records.TryStartJob(p)) continue;
        const std::string id = records.Get(p).instanceId;
        {
          std::lock_guard lock(stateMutex);
          NoteJobStarted(state, id);
        }
        if (!threads.StartJob(p)) {
          records.SetState(p, kPortFinished);
          std::lock_guard lock(stateMutex);
          NoteJobEnded(state, id, true);
        }
      }
      clock.SleepMs(kServicePollMs);
    }
    threads.RequestStopAll();
    threads.JoinAll();
  }
  monitor.Stop();

  int units = 0, failed = 0, stopped = 0;
  reporter.Counts(units, failed, stopped);
  std::string reason = "served " + std::to_string(units) + (units == 1 ? " unit" : " units") + ": " +
                       std::to_string(units - failed - stopped) + " ok, " + std::to_string(failed) + " failed, " +
                       std::to_string(stopped) + " stopped";
  return {failed + stopped == 0 ? 0 : 1, reason, true};
}

}  // namespace flashery
