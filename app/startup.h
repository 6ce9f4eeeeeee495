// Start-up of the station: the command line, the single instance, the
// program folder, the settings, the language and this run's log file —
// everything up to the split between window mode and unattended mode.
//
// Options are parsed with getopt_long (--opt=value, --opt value, "--"
// ends the options). Words that are not options are ignored, as the
// original ignored them; so are words of a single dash other than "-h"
// (the original took "-commandline" as a word like any other).
//
// The unattended mode is chosen by the word "commandline" anywhere in an
// argument (a plain, case-sensitive substring test, so "/x commandline" and
// "mycommandlinefile" select it and "Commandline" does not). Only the
// arguments are tested, not the program's own path: a station installed in
// a folder whose name contains the word must not start unattended.
//
// A log file is created empty at every start, named by the start time
// ("%Y-%m-%d %Hh%Mm%Ss.txt" in the folder "log" of the program folder).
// When a file of that name exists already (two starts within one second),
// the new run takes "... (2).txt", "(3)", ... instead of emptying the
// earlier run's log.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"

namespace flashery {

struct StartupOptions {
  bool commandLineMode = false;
  bool help = false;
  std::string home;      // --home DIR
  std::string sim;       // --sim DIR
  int ports = 1;         // --ports N (1..8)
  int waitSeconds = 500; // --wait-s S
  std::string jsonPath;  // --json FILE
  bool continuous = false;  // --continuous (unattended)
  bool fileSets = false;    // --file-sets (unattended)
  std::string login;        // --login operator|administrator (window)
  bool prepare = false;     // --prepare (window)
  std::string error;     // a usage error, empty when the line is good
};

// args: the arguments without the program path.
StartupOptions ParseStartupArgs(const std::vector<std::string>& args);
bool ContainsCommandLineWord(const std::vector<std::string>& args);
std::string StartupUsage();

// Creates the log folder and this run's empty log file; returns its path
// (empty when it could not be created; then *failedPath names the folder
// or file that could not be made and *error holds the errno).
std::string CreateRunLogFile(const std::string& appFolder, Clock& clock, std::string* failedPath = nullptr,
                             int* error = nullptr);

}  // namespace flashery
