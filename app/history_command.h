// `flashery history`: prints the station's unit records.
//
//   flashery history [--home DIR] [--since T] [--until T] [--unit ID]
//                    [--port N] [--result R] [--format table|csv|json]
//                    [--summary] [--central]
//
// T is "YYYY-MM-DD" or "YYYY-MM-DDTHH:MM[:SS]" in UTC; a bare date in
// --until takes in that whole day. R is ok, failed, stopped, interrupted or
// running. --summary prints per day and port: units, good, failed, yield
// and the median time per unit. --central reads the shared database named
// by url in section [History] of downtoolcfg.ini instead of the local store.
// The local store is only read (a station may be writing it at the time).
//
// Exit status: 0 printed, 1 the store could not be read, 2 a usage error.
#pragma once

#include <string>
#include <vector>

#include "app/history_report.h"
#include "history/unit_record.h"

namespace flashery {

struct HistoryOptions {
  std::string home;
  HistoryFilter filter;
  ReportFormat format = ReportFormat::Table;
  bool summary = false;
  bool central = false;
  bool help = false;
  std::string error;  // a usage error; empty when the line is good
};

// args: the words after "history".
HistoryOptions ParseHistoryArgs(const std::vector<std::string>& args);
std::string HistoryUsage();

// args: the words after "history". Prints to stdout, errors to stderr.
int RunHistoryCommand(const std::vector<std::string>& args);

}  // namespace flashery
