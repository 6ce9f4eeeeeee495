// The closing steps of the window mode, run once the window has closed and
// the device monitor and every port job have stopped: the staging folder
// "quillon" of the program folder is removed with its whole tree (only
// when it is a folder; a link of that name is removed, never followed),
// and the settings are written back.
#pragma once

#include <string>

#include "config/settings.h"

namespace flashery {

struct ShutdownResult {
  bool stagingRemoved = true;  // false: the folder is still there
  bool settingsSaved = true;
  std::string settingsProblem;  // why they were not, naming the file
};

ShutdownResult RunWindowShutdownSteps(const std::string& appFolder, const DownloadSelection& sel);

// Closing the window while jobs run asks first (in Chinese when the
// language id is 2052); a confirmed close is written to the run's log.
std::string CloseWhileRunningQuestion(int languageId, int runningJobs);
std::string CloseWhileRunningLogLine(int runningJobs);

}  // namespace flashery
