// The unattended mode's run record (--json FILE): JSON lines, one object
// per line, written as they happen and flushed at once, so a record of an
// interrupted run is complete up to its last event.
//   {"type":"start","ports":N,"package":"...","time":"YYYY-MM-DD HH:MM:SS"}
//   {"type":"step","port":P,"instanceId":"...","text":"...","bytes":B,"seconds":S}
//   {"type":"summary","port":P,"instanceId":"...","result":"ok"|"failed","bytes":B,"seconds":S}
//   {"type":"end","status":E,"reason":"..."}
// Ports are numbered from 1 as the operator sees them.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace flashery {

class RunRecord {
 public:
  RunRecord() = default;
  ~RunRecord();
  RunRecord(const RunRecord&) = delete;
  RunRecord& operator=(const RunRecord&) = delete;

  bool Open(const std::string& path);  // false: cannot be created
  bool isOpen() const { return file_ != nullptr; }
  void Start(int ports, const std::string& package, const std::string& localTime);
  void Step(int port, const std::string& instanceId, const std::string& text, uint64_t bytes, double seconds);
  void Summary(int port, const std::string& instanceId, bool ok, uint64_t bytes, double seconds);
  void End(int status, const std::string& reason);

 private:
  void Line(const std::string& json);
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
};

}  // namespace flashery
