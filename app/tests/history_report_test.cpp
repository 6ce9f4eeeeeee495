#include <gtest/gtest.h>

#include "app/history_command.h"
#include "app/history_report.h"

namespace flashery {
namespace {

UnitRecord Unit(int64_t id, int port, const std::string& day, const std::string& result, uint64_t ms,
                const std::string& unitId = "SN") {
  UnitRecord u;
  u.id = id;
  u.port = port;
  u.unitId = unitId;
  u.startedUtc = day + "T10:00:00.000Z";
  u.result = result;
  u.elapsedMs = ms;
  return u;
}

TEST(HistoryReport, SummaryCountsPerDayAndPortWithYieldAndMedian) {
  std::vector<UnitRecord> units = {
      Unit(1, 1, "2026-12-07", "ok", 10000),     Unit(2, 1, "2026-12-07", "failed", 4000),
      Unit(3, 1, "2026-12-07", "ok", 30000),     Unit(4, 2, "2026-12-07", "interrupted", 0),
      Unit(5, 1, "2026-12-08", "ok", 20000),     Unit(6, 1, "2026-12-08", "ok", 30000),
      Unit(7, 2, "2026-12-07", "running", 0),
  };
  std::vector<SummaryRow> rows = Summarize(units);
  struct Want {
    std::string day;
    int port, units, good, failed;
    double yield, median;
  };
  const Want want[] = {{"2026-12-07", 1, 3, 2, 1, 200.0 / 3, 10.0},
                       {"2026-12-07", 2, 1, 0, 1, 0, 0},
                       {"2026-12-08", 1, 2, 2, 0, 100, 25.0}};
  ASSERT_EQ(rows.size(), std::size(want));
  for (size_t i = 0; i < rows.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(rows[i].day, want[i].day);
    EXPECT_EQ(rows[i].port, want[i].port);
    EXPECT_EQ(rows[i].units, want[i].units);
    EXPECT_EQ(rows[i].good, want[i].good);
    EXPECT_EQ(rows[i].failed, want[i].failed);
    EXPECT_NEAR(rows[i].yieldPercent, want[i].yield, 1e-9);
    EXPECT_DOUBLE_EQ(rows[i].medianSeconds, want[i].median);
  }
  EXPECT_EQ(FormatSummary(rows, ReportFormat::Csv).substr(0, 12), "\xEF\xBB\xBF\"day\",\"po");
}

// CSV for a spreadsheet: BOM, every field quoted, quotes doubled, no formula
// from a handset's id; JSON keeps every text a string.
TEST(HistoryReport, CsvAndJsonCarryHostileTextsSafely) {
  UnitRecord u = Unit(1, 3, "2026-12-07", "failed", 1500, "=HYPERLINK(\"x\")");
  u.message = "line one\nsaid \"no\", then \x01";
  u.bytes = 1234;
  std::string csv = FormatUnits({u}, ReportFormat::Csv);
  EXPECT_EQ(csv.rfind("\xEF\xBB\xBF\"id\",\"unit\",", 0), 0u) << csv;
  EXPECT_NE(csv.find("\r\n\"1\",\"'=HYPERLINK(\"\"x\"\")\",\"3\","), std::string::npos) << csv;
  EXPECT_NE(csv.find("\"line one\nsaid \"\"no\"\", then \x01\""), std::string::npos);
  EXPECT_NE(csv.find("\"1234\",\"1.500\""), std::string::npos);

  std::string json = FormatUnits({u}, ReportFormat::Json);
  EXPECT_NE(json.find("\"unit\": \"=HYPERLINK(\\\"x\\\")\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"bytes\": 1234,"), std::string::npos);
  EXPECT_EQ(json.find('\n', json.find("line one")), json.find("}\n]") + 1);  // the newline is escaped
  EXPECT_EQ(FormatUnits({}, ReportFormat::Json), "[]\n");

  std::string table = FormatUnits({u}, ReportFormat::Table);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 2);
}

TEST(HistoryReport, OptionsAreParsedAndBadOnesRefused) {
  struct Case {
    std::vector<std::string> args;
    bool good;
  };
  const Case cases[] = {
      {{"--since", "2026-12-07", "--until=2026-12-07T10:30", "--port", "8", "--format", "csv"}, true},
      {{"--summary", "--result", "interrupted", "--unit", "SN1", "--home", "/tmp"}, true},
      {{"--port", "9"}, false},
      {{"--since", "yesterday"}, false},
      {{"--format", "xml"}, false},
      {{"--result", "good"}, false},
      {{"--unit"}, false},
      {{"--bogus"}, false},
      {{"stray"}, false},
  };
  for (const Case& c : cases) {
    HistoryOptions o = ParseHistoryArgs(c.args);
    EXPECT_EQ(o.error.empty(), c.good) << c.args[0] << ": " << o.error;
  }
  HistoryOptions o = ParseHistoryArgs(cases[0].args);
  EXPECT_EQ(o.filter.since, "2026-12-07T00:00:00.000Z");
  EXPECT_EQ(o.filter.until, "2026-12-07T10:30:59.999Z");
  EXPECT_EQ(o.filter.port, 8);
  EXPECT_EQ(o.format, ReportFormat::Csv);
}

}  // namespace
}  // namespace flashery
