// The history store of a running station: StartHistory opens the local
// store (history.sqlite in the program folder), marks what an earlier start
// left running interrupted and adds the recorder to the job listeners; a
// store that cannot be used is said once (log and operator) and the station
// goes on without it. With url in section [History] of downtoolcfg.ini (a
// libpq connection string) a CentralSender also feeds that database from
// the local store; FinishHistory sends what the run recorded before the
// program exits. SetHistoryJobFacts gives the facts a port's next job
// records.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "history/unit_record.h"

namespace flashery {

struct QfmPackage;

std::string HistoryStorePath(const std::string& appFolder);

// mode: "window" or "unattended". Before the first job starts.
void StartHistory(Application& app, const std::string& mode);
// At the end of a run, after the last job: sends what is queued for the
// central database (bounded waits).
void FinishHistory(Application& app);
// The [History] url of the program folder's settings; empty when unset.
std::string CentralHistoryUrl(const std::string& appFolder);
// Gives the recorder (when there is one) the facts of the next job of
// `port` from the snapshots that job writes.
void SetHistoryJobFacts(Application& app, int port, const DownloadSelection& selection, const QfmPackage* package);
// Units the recorder wrote this run (0 without a recorder).
int HistoryUnitsRecorded(const Application& app);

// The central database's units (filtered), for `flashery history --central`.
std::optional<std::vector<UnitRecord>> QueryCentralHistory(const std::string& appFolder, const HistoryFilter& filter,
                                                           std::string* why);

}  // namespace flashery
