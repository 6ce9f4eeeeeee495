#include "app/window_station.h"

#include "app/planned_bytes.h"

#include "app/job_stop.h"
#include "app/history_setup.h"
#include "config/station_line.h"

namespace flashery {

WindowStation::WindowStation(Application& app, std::unique_ptr<HandsetBus> bus)
    : app_(app), bus_(std::move(bus)), jobs_([this](int port) { return MakeJob(port); }) {}

WindowStation::~WindowStation() { StopAll(); }

void WindowStation::StopAll() {
  jobs_.RequestStopAll();
  StopMonitor();
  jobs_.JoinAll();
}

void WindowStation::SetSeams(PortView* view, PanelUpdater* panels) {
  view_ = view;
  if (!monitor_ && bus_) monitor_ = std::make_unique<DeviceMonitor>(*bus_, records_, panels, app_.clock());
}

void WindowStation::StartMonitor() {
  std::lock_guard lock(monitorMutex_);
  if (!monitor_ && bus_) monitor_ = std::make_unique<DeviceMonitor>(*bus_, records_, nullptr, app_.clock());
  if (!monitor_) return;
  if (auto p = package()) monitor_->SetModelFilter(p->productName);
  PortMapLoad map = LoadPortMap(app_.appFolder);
  for (const std::string& problem : map.problems) app_.log.WriteLine("[PortMap] " + problem);
  monitor_->SetPortMap(map.map);
  monitor_->Start();
}

void WindowStation::StopMonitor() {
  std::lock_guard lock(monitorMutex_);
  if (monitor_) monitor_->Stop();
}

bool WindowStation::monitorRunning() const { return monitor_ && monitor_->running(); }

void WindowStation::PublishPackage(std::shared_ptr<const QfmPackage> package) {
  {
    std::lock_guard lock(packageMutex_);
    package_ = package;
  }
  if (monitor_) monitor_->SetModelFilter(package ? package->productName : std::string());
}

std::shared_ptr<const QfmPackage> WindowStation::package() const {
  std::lock_guard lock(packageMutex_);
  return package_;
}

PortJobThreads::Body WindowStation::MakeJob(int port) {
  if (!bus_) return {};
  // Snapshots, taken on the starting (GUI) thread.
  auto selection = std::make_shared<const DownloadSelection>(app_.selection);
  auto pkg = package();
  uint64_t startMs = app_.clock().NowMs();
  SetHistoryJobFacts(app_, port, *selection, pkg.get());
  return [this, port, selection, pkg, startMs](std::stop_token stop) {
    JobStop jobStop(stop);
    StoppableClock clock(app_.clock(), jobStop);
    PortJobContext context{port, records_, app_.texts, app_.prompter(), clock, semaphore_, nullptr, selection, pkg};
    context.newTransport = [this, &jobStop]() -> std::unique_ptr<Transport> {
      return std::make_unique<StoppableTransport>(bus_->NewTransport(), jobStop);
    };
    context.stopped = jobStop.inEffect();
    context.stationClock = &app_.clock();
    context.commandLineMode = false;
    context.startTimeMs = startMs;
    context.view = view_;
    context.log = &app_.log;
    context.codepage = app_.codepage;
    context.listener = &app_.jobListeners;
    context.goneFailMs = uint64_t{app_.stationSettings.goneFailSeconds} * 1000;
    context.plannedBytes = pkg && selection ? PlannedImageBytes(*selection, *pkg, false) : 0;
    PortJob(context);
  };
}

}  // namespace flashery
