// The unattended mode's run record (--json FILE): JSON lines, one object
// per line, written as they happen, so a record of an interrupted run is
// complete up to its last event.
//   {"type":"start","ports":N,"package":"...","time":"YYYY-MM-DD HH:MM:SS"}
//   {"type":"step","port":P,"instanceId":"...","text":"...","bytes":B,"seconds":S}
//   {"type":"summary","port":P,"instanceId":"...","result":"ok"|"failed","bytes":B,"seconds":S}
//   {"type":"end","status":E,"reason":"..."}
// Ports are numbered from 1 as the operator sees them.
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

#include <cstdint>
#include <mutex>
#include <string>

namespace flashery {

class Prompter;
class TextTable;

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
  void Step(int port, const std::string& instanceId, const std::string& text, uint64_t bytes, double seconds);
  void Summary(int port, const std::string& instanceId, bool ok, uint64_t bytes, double seconds);
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

}  // namespace flashery
