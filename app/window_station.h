// WindowStation: what the window mode runs below its widgets — the port
// record table, the handset bus and the device monitor, the job semaphore
// of 8 and one job thread per started port, and the package that jobs
// write.
//
// A job is started from the GUI thread: it takes its snapshots of the
// DownloadSelection and of the published package there, so a later
// reconfiguration never changes what it writes, and it runs PortJob on its
// own thread with the station's PortView. Its transport and clock are
// wrapped (job_stop.h), so closing the window ends it at its next command
// boundary. The monitor stops on its flag and is joined, never killed; it
// binds under the socket map ([PortMap], read when it starts; a dropped
// value is written to the log).
// Whoever owns the seams stops the station (StopAll) before destroying
// them, so no worker ever reports into a destroyed view.
#pragma once

#include <memory>
#include <mutex>
#include <semaphore>

#include "app/application.h"
#include "app/port_job_threads.h"
#include "device/device_monitor.h"
#include "device/handset_bus.h"
#include "device/port_record.h"
#include "engine/port_job.h"
#include "package/qfm_package.h"

namespace flashery {

class PortView;
class PanelUpdater;

class WindowStation {
 public:
  WindowStation(Application& app, std::unique_ptr<HandsetBus> bus);
  ~WindowStation();
  WindowStation(const WindowStation&) = delete;
  WindowStation& operator=(const WindowStation&) = delete;

  // The window's seams; set once, before StartMonitor and the first start.
  void SetSeams(PortView* view, PanelUpdater* panels);

  PortRecordTable& records() { return records_; }
  PortJobRunner& jobs() { return jobs_; }

  void StartMonitor();
  // Requests the monitor's stop and joins it (never on a thread the
  // monitor may be waiting for). Callers on two threads take turns.
  void StopMonitor();
  bool monitorRunning() const;
  // Raises every job's stop flag, stops the monitor and waits until every
  // job has ended (at its next command boundary). Only where no worker can
  // be waiting for the calling thread: the window calls it on its closing
  // thread, or on the GUI thread once the seams are closed. The destructor
  // does it too.
  void StopAll();

  // The accepted package (null: none); jobs started afterwards write it,
  // and the monitor binds only handsets of its model.
  void PublishPackage(std::shared_ptr<const QfmPackage> package);
  std::shared_ptr<const QfmPackage> package() const;

 private:
  PortJobThreads::Body MakeJob(int port);

  Application& app_;
  std::unique_ptr<HandsetBus> bus_;
  PortRecordTable records_;
  JobSemaphore semaphore_{8};
  PortView* view_ = nullptr;
  std::unique_ptr<DeviceMonitor> monitor_;
  std::mutex monitorMutex_;  // serialises starting and stopping the monitor
  mutable std::mutex packageMutex_;
  std::shared_ptr<const QfmPackage> package_;
  PortJobThreads jobs_;  // last: its threads end before the members above go
};

}  // namespace flashery
