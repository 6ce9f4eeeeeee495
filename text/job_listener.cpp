#include "text/job_listener.h"

namespace flashery {

const char* JobStepName(JobStep step) {
  switch (step) {
    case JobStep::Open: return "open";
    case JobStep::Image: return "image";
    case JobStep::WaitStored: return "wait-stored";
    case JobStep::Restart: return "restart";
    case JobStep::Probe: return "probe";
    case JobStep::PrepareStorage: return "prepare-storage";
    case JobStep::FileSet: return "file-set";
    case JobStep::Completion: return "completion";
  }
  return "unknown";
}

const char* JobResultName(JobResult result) {
  switch (result) {
    case JobResult::Ok: return "ok";
    case JobResult::Failed: return "failed";
    case JobResult::Stopped: return "stopped";
  }
  return "unknown";
}

}  // namespace flashery
