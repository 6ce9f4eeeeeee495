// The history's reports as `flashery history` prints them: the units, or a
// summary per day (UTC) and port — units, good, failed, yield and the
// median time per unit (running units are left out of the summary) — as an
// aligned table, CSV or JSON.
//
// CSV opens in a spreadsheet as it is: UTF-8 with a byte order mark, every
// field quoted (quotes doubled), CRLF line ends. A text field that a
// spreadsheet would take for a formula (it begins with = + - @, a tab or a
// carriage return; unit ids come from the handsets) gets a leading
// apostrophe. JSON is an array of objects, numbers as numbers.
#pragma once

#include <string>
#include <vector>

#include "history/unit_record.h"

namespace flashery {

enum class ReportFormat { Table, Csv, Json };

struct SummaryRow {
  std::string day;  // YYYY-MM-DD (UTC)
  int port = 0;
  int units = 0;
  int good = 0;
  int failed = 0;
  double yieldPercent = 0;
  double medianSeconds = 0;
};

std::vector<SummaryRow> Summarize(const std::vector<UnitRecord>& units);

std::string FormatUnits(const std::vector<UnitRecord>& units, ReportFormat format);
std::string FormatSummary(const std::vector<SummaryRow>& rows, ReportFormat format);

}  // namespace flashery
