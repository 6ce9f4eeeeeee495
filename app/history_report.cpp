#include "app/history_report.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "app/json_text.h"

namespace flashery {

namespace {

struct Cell {
  std::string text;
  bool number = false;
};
using Row = std::vector<Cell>;

Cell Text(std::string s) { return {std::move(s), false}; }
Cell Number(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return {buf, true};
}
Cell Count(uint64_t v) { return {std::to_string(v), true}; }

std::string CsvField(const Cell& c) {
  std::string s = c.text;
  if (!c.number && !s.empty() && (s[0] == '=' || s[0] == '+' || s[0] == '-' || s[0] == '@' || s[0] == '\t' || s[0] == '\r'))
    s.insert(s.begin(), '\'');
  std::string out = "\"";
  for (char ch : s) {
    if (ch == '"') out += '"';
    out += ch;
  }
  return out + "\"";
}

// Control characters would break the table's lines; they show as '?'.
std::string TableText(const std::string& s) {
  std::string out = s;
  for (char& ch : out)
    if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) ch = '?';
  return out;
}

size_t DisplayWidth(const std::string& s) {
  size_t n = 0;
  for (unsigned char ch : s) n += (ch & 0xC0) != 0x80 ? 1 : 0;
  return n;
}

std::string Render(const std::vector<std::string>& headers, const std::vector<Row>& rows, ReportFormat format) {
  std::string out;
  if (format == ReportFormat::Csv) {
    out = "\xEF\xBB\xBF";
    std::vector<std::string> line;
    for (size_t i = 0; i < headers.size(); ++i) out += (i ? "," : "") + CsvField(Text(headers[i]));
    out += "\r\n";
    for (const Row& r : rows) {
      for (size_t i = 0; i < r.size(); ++i) out += (i ? "," : "") + CsvField(r[i]);
      out += "\r\n";
    }
    return out;
  }
  if (format == ReportFormat::Json) {
    out = "[";
    for (size_t n = 0; n < rows.size(); ++n) {
      out += n ? ",\n {" : "\n {";
      for (size_t i = 0; i < headers.size(); ++i) {
        out += (i ? ", " : "") + JsonQuote(headers[i]) + ": ";
        out += rows[n][i].number ? rows[n][i].text : JsonQuote(rows[n][i].text);
      }
      out += "}";
    }
    return out + (rows.empty() ? "]\n" : "\n]\n");
  }
  std::vector<size_t> width(headers.size());
  for (size_t i = 0; i < headers.size(); ++i) width[i] = DisplayWidth(headers[i]);
  for (const Row& r : rows)
    for (size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], DisplayWidth(TableText(r[i].text)));
  auto line = [&](const std::vector<std::string>& cells, const std::vector<bool>& right) {
    std::string l;
    for (size_t i = 0; i < cells.size(); ++i) {
      std::string pad(width[i] - DisplayWidth(cells[i]), ' ');
      l += (i ? "  " : "") + (right[i] ? pad + cells[i] : cells[i] + (i + 1 < cells.size() ? pad : ""));
    }
    return l + "\n";
  };
  out += line(headers, std::vector<bool>(headers.size(), false));
  for (const Row& r : rows) {
    std::vector<std::string> cells;
    std::vector<bool> right;
    for (const Cell& c : r) {
      cells.push_back(TableText(c.text));
      right.push_back(c.number);
    }
    out += line(cells, right);
  }
  return out;
}

}  // namespace

std::vector<SummaryRow> Summarize(const std::vector<UnitRecord>& units) {
  std::map<std::pair<std::string, int>, std::vector<const UnitRecord*>> groups;
  for (const UnitRecord& u : units)
    if (u.result != "running") groups[{u.startedUtc.substr(0, 10), u.port}].push_back(&u);
  std::vector<SummaryRow> rows;
  for (auto& [key, list] : groups) {
    SummaryRow r;
    r.day = key.first;
    r.port = key.second;
    r.units = static_cast<int>(list.size());
    std::vector<uint64_t> times;
    for (const UnitRecord* u : list) {
      r.good += u->result == "ok" ? 1 : 0;
      times.push_back(u->elapsedMs);
    }
    r.failed = r.units - r.good;
    r.yieldPercent = 100.0 * r.good / r.units;
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    double median = n % 2 ? static_cast<double>(times[n / 2])
                          : (static_cast<double>(times[n / 2 - 1]) + static_cast<double>(times[n / 2])) / 2.0;
    r.medianSeconds = median / 1000.0;
    rows.push_back(r);
  }
  return rows;
}

std::string FormatUnits(const std::vector<UnitRecord>& units, ReportFormat format) {
  const bool brief = format == ReportFormat::Table;
  std::vector<std::string> headers =
      brief ? std::vector<std::string>{"id", "started", "port", "unit", "result", "step", "MB/s", "seconds", "version",
                                       "message"}
            : std::vector<std::string>{"id",          "unit",        "port",      "socket",  "station", "mode",
                                       "role",        "package",     "product",   "version", "sha256",  "selection",
                                       "started",     "ended",       "result",    "step",    "message", "bytes",
                                       "seconds",     "mb_per_s"};
  std::vector<Row> rows;
  for (const UnitRecord& u : units) {
    const double seconds = static_cast<double>(u.elapsedMs) / 1000.0;
    if (brief) {
      rows.push_back({Count(static_cast<uint64_t>(u.id)), Text(u.startedUtc), Count(static_cast<uint64_t>(u.port)),
                      Text(u.unitId), Text(u.result), Text(u.failedStep), Number(u.mbPerS, 2), Number(seconds, 1),
                      Text(u.facts.version), Text(u.message)});
    } else {
      rows.push_back({Count(static_cast<uint64_t>(u.id)), Text(u.unitId), Count(static_cast<uint64_t>(u.port)),
                      Text(u.socketPath), Text(u.facts.station), Text(u.facts.mode), Text(u.facts.role),
                      Text(u.facts.packageFile), Text(u.facts.product), Text(u.facts.version),
                      Text(u.facts.packageSha256), Text(u.facts.selection), Text(u.startedUtc), Text(u.endedUtc),
                      Text(u.result), Text(u.failedStep), Text(u.message), Count(u.bytes), Number(seconds, 3),
                      Number(u.mbPerS, 3)});
    }
  }
  return Render(headers, rows, format);
}

std::string FormatSummary(const std::vector<SummaryRow>& summary, ReportFormat format) {
  std::vector<std::string> headers{"day", "port", "units", "good", "failed", "yield_percent", "median_seconds"};
  std::vector<Row> rows;
  for (const SummaryRow& s : summary)
    rows.push_back({Text(s.day), Count(static_cast<uint64_t>(s.port)), Count(static_cast<uint64_t>(s.units)),
                    Count(static_cast<uint64_t>(s.good)), Count(static_cast<uint64_t>(s.failed)),
                    Number(s.yieldPercent, 1), Number(s.medianSeconds, 1)});
  return Render(headers, rows, format);
}

}  // namespace flashery
