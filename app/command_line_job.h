// The unattended mode's run: prepare the configured package, wait for the
// handsets, run the port jobs, and end with an exit status.
//
// In order: the staging folder "quillon" of the program folder is deleted;
// the package named by the settings is opened and verified; its preset
// applications are staged; its Extend sections are bound to the configured
// names; the device monitor starts; the run waits (500 ms polls) for a
// handset on port 1 — or, with --ports N, on ports 1..N — for at most
// --wait-s seconds (500 by default); then one port job per port runs:
// port 1's on this thread, or with --ports N each on its own thread.
//
// With --file-sets, steps 2-4 are the download file dialog's checks instead
// (the package of the configured resource folder, the built-in resources and
// the GPS set as ticked; CheckFileSets in the .cpp), and the jobs write the
// file sets after the images as the window's jobs do. With --continuous,
// after step 4 the run is the continuous service (continuous_service.h).
// The device monitor binds under the socket map ([PortMap]) in both.
//
// Beyond the original, so that an unattended station never fails silently
// and never writes to the wrong handset:
// - every reason to stop before a job runs is printed on stderr and written
//   to the run's log as one line, and the exit status tells the outcome
//   (exit_status.h);
// - a port is marked running while its job runs, as in window mode, so the
//   device monitor keeps it bound to its own handset across the handset's
//   restarts (a handset plugged in meanwhile can never take its port);
// - a stop request (SIGINT/SIGTERM) ends the jobs at their next command
//   boundary (job_stop.h); each running port's log then says once that the
//   operator stopped it, and the run's exit status is 1;
// - the log and the run record are written with checked writes; one that
//   lost records is said once when it happens and makes a run whose
//   downloads all succeeded end with 1 (unattended.cpp checks them last).
#pragma once

#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "engine/port_job.h"

namespace flashery {

class Application;
class HandsetBus;
class LiveOutput;
class RunRecord;
struct StartupOptions;

struct UnattendedResult {
  int exitStatus = 2;
  std::string reason;  // why the run stopped before or after its jobs
  bool jobsRan = false;
};

UnattendedResult RunCommandLineJob(Application& app, HandsetBus& bus, LiveOutput& live, RunRecord& record,
                                   std::stop_source& stop);

// Runs `job` with a token that is stopped when either `own` (the job
// thread's own stop) or `run` (the run's stop) is.
void RunWithEitherStop(std::stop_token own, std::stop_token run, const std::function<void(std::stop_token)>& job);

// One port's job of the unattended mode (a batch or the continuous
// service) on the calling thread: stoppable by `stop`, reporting to the
// station's job listeners, with its facts for the history. Returns whether
// the download succeeded.
bool RunUnattendedPortJob(Application& app, HandsetBus& bus, PortRecordTable& records, JobSemaphore& semaphore,
                          int port, std::stop_token stop, std::shared_ptr<const DownloadSelection> selection,
                          std::shared_ptr<const QfmPackage> package, uint64_t plannedBytes);

}  // namespace flashery
