// The two ways the station runs. Each mode's implementation lives in its
// own file; a build without the Qt front end has a window-mode entry that
// says so.
#pragma once

#include "app/startup.h"

namespace flashery {

int RunUnattended(const StartupOptions& options);
int RunWindowMode(int argc, char** argv, const StartupOptions& options);

}  // namespace flashery
