// The program folder: where settings, language files, the log folder and
// the staging folder live. It is the folder given with --home DIR, else
// FLASHERY_HOME when set, else the folder of the executable. Returned
// without a trailing slash.
#pragma once

#include <optional>
#include <string>

namespace flashery {

// The folder of the running executable (from /proc/self/exe).
std::optional<std::string> ExecutableFolder();
// homeOption: the value of --home, or empty.
std::optional<std::string> ProgramFolder(const std::string& homeOption);

}  // namespace flashery
