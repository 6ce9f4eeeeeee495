// JobListener: the one stream of typed events of the port jobs. The
// window, the unattended mode's live output, the JSON run record and the
// history store all listen to it; none of them reads meaning out of the
// status texts, which are for display only.
//
// For one port the events come in this order, all from the thread that
// runs the port's job:
//   OnJobStarted, then any number of OnStep / OnStatusText / OnBytes /
//   OnItem, then OnJobEnded (exactly once per OnJobStarted).
// Different ports call at the same time from different threads, so a
// listener guards what it shares. A listener must not block for long: the
// job waits for it.
//
// A step begins with OnStep and lasts until the next OnStep or the end.
// A failed job's JobEnd names the step and the status text current when
// the job first failed: steps that still run after a failure (the
// unattended mode's restart) never replace them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashery {

enum class JobStep : uint8_t {
  Open,            // opening the handset and starting the download
  Image,           // writing one image (item: the image's section name)
  WaitStored,      // waiting until the handset has stored the images
  Restart,         // restarting the handset into its storage stage
  Probe,           // waiting for the handset to answer again
  PrepareStorage,  // preparing the handset's storage area
  FileSet,         // copying one file set (item: the set's label)
  Completion,      // waiting for the handset to finish
};
// Stable lower-case names for records: "open", "image", "wait-stored",
// "restart", "probe", "prepare-storage", "file-set", "completion".
const char* JobStepName(JobStep step);

enum class JobResult : uint8_t { Ok, Failed, Stopped };
// "ok", "failed", "stopped".
const char* JobResultName(JobResult result);

struct JobStart {
  int port = 0;              // 0..7
  std::string instanceId;    // the handset's instance id (its serial)
  std::string socketPath;    // USB socket path; empty when the bus has none
  uint64_t plannedBytes = 0; // image and file bytes the job plans to send
  uint64_t timeMs = 0;       // the station clock when the start was decided
};

struct JobEnd {
  int port = 0;
  std::string instanceId;
  JobResult result = JobResult::Ok;
  JobStep step = JobStep::Open;  // the step that failed; the last step when ok
  std::string reason;            // the text that decided a failure or a stop; empty when ok
  uint64_t bytes = 0;            // image and file bytes the handset accepted
  uint64_t elapsedMs = 0;        // from the start to the end, station clock
};

class JobListener {
 public:
  virtual ~JobListener() = default;
  virtual void OnJobStarted(const JobStart& /*start*/) {}
  virtual void OnStep(int /*port*/, JobStep /*step*/, const std::string& /*item*/) {}
  // A status text as the port's status line shows it (display only).
  virtual void OnStatusText(int /*port*/, const std::string& /*text*/) {}
  // Image and file bytes the handset has accepted so far in this job;
  // called after each accepted block.
  virtual void OnBytes(int /*port*/, uint64_t /*totalBytes*/) {}
  // A file of a file set begins (its name within the set's folder).
  virtual void OnItem(int /*port*/, const std::string& /*name*/) {}
  virtual void OnJobEnded(const JobEnd& /*end*/) {}
};

// Hands every event to each of its listeners in the order they were added.
// Listeners are added before the first job starts and stay until the last
// has ended; the list itself is not guarded.
class JobListeners final : public JobListener {
 public:
  void Add(JobListener* listener) {
    if (listener && listener != this) listeners_.push_back(listener);
  }
  bool empty() const { return listeners_.empty(); }
  void OnJobStarted(const JobStart& s) override {
    for (auto* l : listeners_) l->OnJobStarted(s);
  }
  void OnStep(int port, JobStep step, const std::string& item) override {
    for (auto* l : listeners_) l->OnStep(port, step, item);
  }
  void OnStatusText(int port, const std::string& text) override {
    for (auto* l : listeners_) l->OnStatusText(port, text);
  }
  void OnBytes(int port, uint64_t total) override {
    for (auto* l : listeners_) l->OnBytes(port, total);
  }
  void OnItem(int port, const std::string& name) override {
    for (auto* l : listeners_) l->OnItem(port, name);
  }
  void OnJobEnded(const JobEnd& e) override {
    for (auto* l : listeners_) l->OnJobEnded(e);
  }

 private:
  std::vector<JobListener*> listeners_;
};

}  // namespace flashery
