// The records of the history store: one UnitRecord per port job (a unit is
// one handset), the StepRecords of its steps, the facts of the run a job
// belongs to, and the filter of a query.
//
// Times are UTC in ISO 8601 with milliseconds ("2026-12-07T17:59:29.123Z"),
// so that text order is time order. Ports are numbered 1..8 as the operator
// sees them.
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

// What a unit's job was asked to do, fixed when it starts.
struct RunFacts {
  std::string station;        // host name
  std::string mode;           // "window" or "unattended"
  std::string role;           // "operator" or "administrator"
  std::string packageFile;    // the package's file name
  std::string product;
  std::string version;
  std::string packageSha256;  // lower-case hex; empty when unknown
  std::string selection;      // what was selected, e.g. "bootloader,kernel,system"
};

// Results: "running", "ok", "failed", "stopped", "interrupted" (the station
// ended while the job ran).
struct UnitRecord {
  int64_t id = 0;  // local id, unique within the station's store
  std::string unitId;      // the handset's instance id (its serial)
  int port = 0;            // 1..8
  std::string socketPath;  // USB socket path, empty when the bus has none
  RunFacts facts;
  std::string startedUtc;
  std::string endedUtc;  // empty while running and for interrupted units
  std::string result = "running";
  std::string failedStep;  // the step that decided a failure or a stop
  std::string message;     // its message
  uint64_t bytes = 0;
  uint64_t elapsedMs = 0;
  double mbPerS = 0;  // bytes / elapsed, in 10^6 bytes per second
};

struct StepRecord {
  int64_t unit = 0;
  std::string step;  // JobStepName
  std::string item;  // image section or file-set label; may be empty
  std::string startedUtc;
  std::string endedUtc;
  std::string outcome;  // "running", "ok", "failed", "stopped", "interrupted"
};

// Empty fields do not filter. since/until are compared with startedUtc;
// a bare date ("2026-12-07") takes in that whole day.
struct HistoryFilter {
  std::string since;
  std::string until;
  std::string unitId;
  int port = 0;
  std::string result;
};

// Units, good and failed per port (1..8 at index 0..7), for shift counts.
struct PortCounts {
  int units = 0;
  int good = 0;
  int failed = 0;  // failed, stopped and interrupted
};

}  // namespace flashery
