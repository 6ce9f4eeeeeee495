// The continuous unattended service ("flashery commandline --continuous"):
// the release is prepared once (command_line_job.h); then the service
// serves units until a stop request (SIGTERM, SIGINT).
//
// The device monitor binds handsets under the socket map ([PortMap]);
// every 100 ms (through the Clock) the auto-start rule (device/auto_start.h)
// picks the ports 1..N (--ports N) to start, so every port re-arms by
// itself: a finished unit is not started again until it has left the bus,
// a new handset on the port starts at once. A unit's failure never stops
// the service. Handsets bound to ports beyond N are never started.
//
// Each unit's end is one line on stdout (UnitLine), one summary in the run
// record and one line in the run's log. On a stop request the running jobs
// are stopped at their next command boundary and the service ends when they
// have: status 0 when no unit failed or was stopped mid-job, 1 otherwise,
// with a reason that counts the units.
#pragma once

#include <memory>
#include <stop_token>
#include <string>

#include "app/command_line_job.h"
#include "text/job_listener.h"

namespace flashery {

class Application;
class HandsetBus;
class RunRecord;
struct QfmPackage;

// "unit SERIAL socket S port P: ok, 12.3 MB in 45.6 s" or
// "unit SERIAL socket S port P: failed at image (reason)" / "stopped at ...";
// socket "-" when unknown; P from 1; seconds: the real time the unit took.
std::string UnitLine(const JobEnd& end, const std::string& socketPath, double seconds);

UnattendedResult ServeContinuously(Application& app, HandsetBus& bus, RunRecord& record, std::stop_source& stop,
                                   std::shared_ptr<const QfmPackage> package);

}  // namespace flashery
