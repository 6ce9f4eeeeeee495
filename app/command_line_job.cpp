#include "app/command_line_job.h"

#include <optional>
#include <vector>

#include "app/application.h"
#include "app/continuous_service.h"
#include "app/exit_status.h"
#include "app/history_setup.h"
#include "config/station_line.h"
#include "app/job_stop.h"
#include "app/live_table.h"
#include "app/planned_bytes.h"
#include "app/port_job_threads.h"
#include "app/run_record.h"
#include "device/device_monitor.h"
#include "device/handset_bus.h"
#include "device/port_record.h"
#include "engine/port_job.h"
#include "app/prepare_release.h"
#include "filesets/scan_reporter.h"
#include "package/extend_binding.h"
#include "package/package_context.h"
#include "package/package_open.h"
#include "package/qfm_package.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "zip/staging.h"

namespace flashery {

namespace {

UnattendedResult Stop(Application& app, int status, const std::string& reason) {
  std::fprintf(stderr, "flashery: %s\n", reason.c_str());
  std::fflush(stderr);
  app.log.WriteLine(reason);
  return {status, reason, true};
}

// --file-sets: the checks of the download file dialog's workers, for the
// folder and ticks of the settings, applied to the selection as the dialog
// applies them: the package of the resource folder (opened, verified, its
// applications staged, its extension sections bound, its brand folder
// checked), then the built-in resources and the GPS set when ticked. Their
// messages go to stderr; a question is answered with its default by the
// console prompter (said on stderr and in the log). The first check that
// fails stops the run with status 2 before any handset is touched.
std::optional<UnattendedResult> CheckFileSets(Application& app, QfmPackage& package) {
  if (app.selection.resourceFolder.empty()) return Stop(app, 2, NoResourceFolderReason(app.appFolder));
  ConsoleScanReporter reporter(stderr, app.texts);
  ScanContext ctx{app.selection.resourceFolder, app.appFolder, app.texts, app.prompter(), reporter, app.codepage};
  PreparedRelease prepared = RunPrepareChecks(ctx, package.extensionTable, app.selection.resourcesSelected != 0,
                                              app.selection.gpsSelected != 0, app.backupCounter);
  std::string reason = ApplyPrepared(prepared, app.selection, package, app.texts);
  if (!reason.empty()) return Stop(app, 2, reason);
  return std::nullopt;
}

// Steps 2-4 without --file-sets: the package named by the settings, opened
// and verified, its preset applications staged, its Extend sections bound.
std::optional<UnattendedResult> OpenConfiguredPackage(Application& app, QfmPackage& package, std::stop_source& stop) {
  const std::string packagePath = app.selection.packagePath;
  if (packagePath.empty())
    return Stop(app, 2,
                "no package is configured: set QFMfile in section [FilePath] of " +
                    JoinPath(app.appFolder, "downtoolcfg.ini"));
  std::string errorText;
  PackageContext packageContext{app.texts, app.prompter(), app.codepage};
  packageContext.stop = stop.get_token();
  const bool opened = OpenPackage(package, packagePath, errorText, packageContext);
  if (!opened && stop.stop_requested()) return Stop(app, 1, "interrupted while verifying the package " + packagePath);
  if (!opened)
    return Stop(app, 2, "the package " + packagePath + " was not accepted" + (errorText.empty() ? "" : ": " + errorText));

  // 3. Its preset applications, staged.
  StagingContext stagingContext{app.texts, app.prompter(), app.backupCounter, app.codepage};
  if (StageAppPackages(package, package.packagePath, app.appFolder, stagingContext) == 0)
    return Stop(app, 2, "the preset applications of " + packagePath + " could not be staged");

  // 4. Its Extend sections, bound to the configured names.
  errorText.clear();
  if (!BindExtendSections(package, errorText, app.texts)) {
    app.prompter().Prompt(errorText);
    return Stop(app, 2,
                "an Extend section of the package has no configured name (ExdFile in downtoolcfg.ini)" +
                    (errorText.empty() ? std::string() : ": " + errorText));
  }
  return std::nullopt;
}

std::string PortList(int ports) { return ports == 1 ? "port 1" : "ports 1-" + std::to_string(ports); }

}  // namespace

UnattendedResult RunCommandLineJob(Application& app, HandsetBus& bus, LiveOutput& live, RunRecord& record,
                                   std::stop_source& stop) {
  const int ports = app.options.ports;
  Clock& clock = app.clock();

  // 1. A staging folder left by an earlier run goes first.
  std::string staging = JoinPath(app.appFolder, "quillon");
  if (IsDirectory(staging) && !RemoveTree(staging))
    return Stop(app, 2, "the staging folder " + staging + " could not be deleted");

  // 2. The configured package, opened and verified.
  auto package = std::make_shared<QfmPackage>();
  for (int d = 0; d < QfmExtensionTable::kEntries; ++d) {
    package->extensionTable.names[static_cast<size_t>(d)] = app.selection.extendNames[static_cast<size_t>(d)];
    package->extensionTable.codes[static_cast<size_t>(d)] = app.selection.extendCodes[static_cast<size_t>(d)];
  }
  auto prepared = app.options.fileSets ? CheckFileSets(app, *package) : OpenConfiguredPackage(app, *package, stop);
  if (prepared) return *prepared;
  const std::string packagePath = app.selection.packagePath;

  // The continuous service serves units from here on, until stopped.
  if (app.options.continuous) return ServeContinuously(app, bus, record, stop, package);

  // 5. The device monitor, and the wait for the handsets.
  PortRecordTable records;
  DeviceMonitor monitor(bus, records, nullptr, clock);
  monitor.SetModelFilter(package->productName);
  PortMapLoad map = LoadPortMap(app.appFolder);
  for (const std::string& p : map.problems) {
    std::fprintf(stderr, "flashery: [PortMap] %s\n", p.c_str());
    app.log.WriteLine("[PortMap] " + p);
  }
  monitor.SetPortMap(map.map);
  monitor.Start();
  auto boundCount = [&] {
    int n = 0;
    for (int p = 0; p < ports; ++p) n += records.Get(p).bound() ? 1 : 0;
    return n;
  };
  const int polls = app.options.waitSeconds * 2;
  for (int i = 0; boundCount() < ports; ++i) {
    if (stop.stop_requested()) return Stop(app, 1, "interrupted while waiting for the handsets");
    if (i >= polls) {
      int n = boundCount();
      return Stop(app, 2,
                  n == 0 ? "no handset on " + PortList(ports) + " within " + std::to_string(app.options.waitSeconds) + " s"
                         : "only " + std::to_string(n) + " of " + std::to_string(ports) + " handsets within " +
                               std::to_string(app.options.waitSeconds) + " s");
    }
    clock.SleepMs(500);
  }
  for (int p = 0; p < ports; ++p) {
    if (records.Attached(p) == 0)
      return Stop(app, 2, "the handset of port " + std::to_string(p + 1) + " is not attached");
    if (!records.TryStartJob(p))
      return Stop(app, 2, "the handset of port " + std::to_string(p + 1) + " left the bus before its start");
  }

  // 6. The jobs.
  auto selection = std::make_shared<const DownloadSelection>(app.selection);
  std::shared_ptr<const QfmPackage> snapshot = package;
  JobSemaphore semaphore(8);
  uint64_t planned = PlannedImageBytes(*selection, *snapshot, true);
  record.Start(ports, packagePath, [&] {
    std::tm t = clock.LocalTime();
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S", &t);
    return std::string(buf);
  }());
  for (int p = 0; p < ports; ++p) live.AddPort(p, records.Get(p).instanceId, planned);
  app.jobListeners.Add(&live);

  std::vector<char> results(static_cast<size_t>(ports), 0);
  auto runJob = [&](int port, std::stop_token token) {
    bool ok = RunUnattendedPortJob(app, bus, records, semaphore, port, token, selection, snapshot, planned);
    results[static_cast<size_t>(port)] = ok ? 1 : 0;
  };
  if (ports == 1) {
    runJob(0, stop.get_token());
  } else {
    PortJobThreads threads([&](int port) -> PortJobThreads::Body {
      return [&, port](std::stop_token own) {
        RunWithEitherStop(own, stop.get_token(), [&](std::stop_token both) { runJob(port, both); });
      };
    });
    for (int p = 0; p < ports; ++p) threads.StartJob(p);
    threads.JoinAll();
  }
  monitor.Stop();
  live.Flush();

  std::vector<bool> ok(results.begin(), results.end());
  int status = UnattendedExitStatus(true, ok, stop.stop_requested());
  int failed = 0;
  for (bool r : ok) failed += r ? 0 : 1;
  std::string reason = stop.stop_requested() ? "interrupted" :
                       failed == 0 ? "every download succeeded"
                                   : std::to_string(failed) + " of " + std::to_string(ports) + " downloads failed";
  return {status, reason, true};
}

void RunWithEitherStop(std::stop_token own, std::stop_token run, const std::function<void(std::stop_token)>& job) {
  std::stop_source both;
  std::stop_callback a(own, [&] { both.request_stop(); });
  std::stop_callback b(run, [&] { both.request_stop(); });
  job(both.get_token());
}

bool RunUnattendedPortJob(Application& app, HandsetBus& bus, PortRecordTable& records, JobSemaphore& semaphore,
                          int port, std::stop_token stop, std::shared_ptr<const DownloadSelection> selection,
                          std::shared_ptr<const QfmPackage> package, uint64_t plannedBytes) {
  Clock& clock = app.clock();
  JobStop jobStop(stop);
  StoppableClock jobClock(clock, jobStop);
  SetHistoryJobFacts(app, port, *selection, package.get());
  PortJobContext context{port, records, app.texts, app.prompter(), jobClock, semaphore, nullptr, selection, package};
  context.newTransport = [&bus, &jobStop]() -> std::unique_ptr<Transport> {
    return std::make_unique<StoppableTransport>(bus.NewTransport(), jobStop);
  };
  context.stopped = jobStop.inEffect();
  context.stationClock = &clock;
  context.commandLineMode = true;
  context.commandLineFileSets = app.options.fileSets;
  context.startTimeMs = clock.NowMs();
  context.listener = &app.jobListeners;
  context.plannedBytes = plannedBytes;
  context.goneFailMs = uint64_t{app.stationSettings.goneFailSeconds} * 1000;
  context.log = &app.log;
  context.codepage = app.codepage;
  return PortJob(context);
}

}  // namespace flashery
