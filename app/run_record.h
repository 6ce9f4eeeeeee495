// The unattended mode's run record (--json FILE): JSON lines, one object
// per line, written as they happen, so a record of an interrupted run is
// complete up to its last event.
//   {"type":"start","ports":N,"package":"...","time":"YYYY-MM-DD HH:MM:SS"}
//   {"type":"step","port":P,"instanceId":"...","step":"image","item":"system",
//    "text":"image system","bytes":B,"seconds":S}
//   {"type":"summary","port":P,"instanceId":"...","result":"ok"|"failed"|"stopped",
//    "reason":"...","socket":"...","bytes":B,"seconds":S}
//   {"type":"end","status":E,"reason":"..."}
// Ports are numbered from 1 as the operator sees them. A step line is
// written for each step of a job (JobStep: its stable name and item;
// "text" is both as one line); seconds count station time from the job's
// start. A summary carries the unit's USB socket path (empty when the bus
// has none) and, when the unit did not succeed, "reason": the text that
// decided it, the same its red panel keeps. RunRecordListener writes the
// steps and summaries from the job events, in both modes.
//
// Every line is written whole with checked writes, and Close flushes the
// file to its disk and checks that too. The first line that cannot be
// written (a full disk, an I/O error) ends the record: what was written is
// cut back to its last whole line, so the file stays valid JSON lines, no
// later line is tried, and the failure is said once through the Prompter
// (the console one prints it on stderr and writes it to the run's log)
// with the station text "recordIncomplete", the file's name and the
// system's reason. problem() then tells the run that its record is
// incomplete.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "text/job_listener.h"

namespace flashery {

class Clock;
class Prompter;
class TextTable;

struct UnitSummary {
  int port = 1;  // from 1
  std::string instanceId;
  std::string socket;
  JobResult result = JobResult::Ok;
  std::string reason;  // written when the result is not ok
  uint64_t bytes = 0;
  double seconds = 0;
};

class RunRecord {
 public:
  RunRecord() = default;
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  // Creates (or empties) the file. False when it cannot be created, with
  // the system's reason in *reason.
  bool Open(const std::string& path, std::string* reason = nullptr);
  // Who hears the one failure message; `texts` words it (null: English).
  void SetReporter(Prompter* prompter, const TextTable* texts);
  bool isOpen() const;
  std::string path() const;
  void Start(int ports, const std::string& package, const std::string& localTime);
  void Step(int port, const std::string& instanceId, const std::string& step, const std::string& item,
            uint64_t bytes, double seconds);
  void Summary(const UnitSummary& unit);
  void End(int status, const std::string& reason);
  // Flushes the file to its disk and closes it. True when every line
  // reached the file.
  bool Close();
  // Empty while the record is complete; otherwise the message said.
  std::string problem() const;

 private:
  void Line(const std::string& json);
  // Records the first failure; returns the message to say (empty when one
  // was said already).
  std::string FailLocked(int error);
  void Say(const std::string& message);

  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
  uint64_t written_ = 0;  // bytes of whole lines in the file
  bool failed_ = false;
  std::string problem_;
  Prompter* prompter_ = nullptr;
  const TextTable* texts_ = nullptr;
};

// Writes the step lines and the summaries of the jobs to a record.
class RunRecordListener final : public JobListener {
 public:
  // clock: the station's clock, the one JobStart.timeMs was read from.
  RunRecordListener(RunRecord& record, Clock& clock) : record_(record), clock_(clock) {}
  void OnJobStarted(const JobStart& start) override;
  void OnStep(int port, JobStep step, const std::string& item) override;
  void OnBytes(int port, uint64_t totalBytes) override;
  void OnJobEnded(const JobEnd& end) override;

 private:
  struct Unit {
    std::string instanceId, socket;
    uint64_t startMs = 0, bytes = 0;
    bool started = false;
  };
  RunRecord& record_;
  Clock& clock_;
  std::mutex mutex_;
  std::array<Unit, 8> units_{};
};

}  // namespace flashery
