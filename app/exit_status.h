// The unattended mode's exit status: 0 when every started job succeeded,
// 1 when a job failed or the run was interrupted, 2 when nothing could run
// (configuration, package, staging, no handset in time), 3 when the
// station could not start at all (a second instance, no program folder).
#pragma once

#include <vector>

namespace flashery {

int UnattendedExitStatus(bool jobsStarted, const std::vector<bool>& jobResults, bool interrupted);

}  // namespace flashery
