#include "app/exit_status.h"

namespace flashery {

int UnattendedExitStatus(bool jobsStarted, const std::vector<bool>& jobResults, bool interrupted) {
  if (interrupted) return 1;
  if (!jobsStarted || jobResults.empty()) return 2;
  for (bool ok : jobResults)
    if (!ok) return 1;
  return 0;
}

int WithRecordsKept(int status, bool recordsComplete) { return status == 0 && !recordsComplete ? 1 : status; }

}  // namespace flashery
