// The unattended mode's exit status: 0 when every started job succeeded,
// 1 when a job failed or the run was interrupted, 2 when nothing could run
// (configuration, package, staging, no handset in time), 3 when the
// station could not start at all (a second instance, no program folder).
// A run whose log or run record lost records ends with 1 even when every
// download succeeded: what the station was asked to keep is not all there.
#pragma once

#include <vector>

namespace flashery {

int UnattendedExitStatus(bool jobsStarted, const std::vector<bool>& jobResults, bool interrupted);
// The status once the records are known: 0 becomes 1 when one is incomplete.
int WithRecordsKept(int status, bool recordsComplete);

}  // namespace flashery
