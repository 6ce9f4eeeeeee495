#include "app/history_command.h"

#include <getopt.h>

#include <cstdio>

#include "app/application.h"
#include "app/history_setup.h"
#include "history/local_store.h"
#include "history/utc_time.h"
#include "platform/program_folder.h"

namespace flashery {

namespace {

const option kHistoryOptions[] = {
    {"home", required_argument, nullptr, 'H'},  {"since", required_argument, nullptr, 's'},
    {"until", required_argument, nullptr, 'u'}, {"unit", required_argument, nullptr, 'i'},
    {"port", required_argument, nullptr, 'p'},  {"result", required_argument, nullptr, 'r'},
    {"format", required_argument, nullptr, 'f'}, {"summary", no_argument, nullptr, 'S'},
    {"central", no_argument, nullptr, 'C'},     {"help", no_argument, nullptr, 'h'},
    {nullptr, 0, nullptr, 0},
};

}  // namespace

std::string HistoryUsage() {
  return "usage: flashery history [--home DIR] [--since T] [--until T] [--unit ID] [--port N]\n"
         "                        [--result ok|failed|stopped|interrupted|running]\n"
         "                        [--format table|csv|json] [--summary] [--central]\n"
         "  T: YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS] (UTC)\n";
}

HistoryOptions ParseHistoryArgs(const std::vector<std::string>& args) {
  HistoryOptions o;
  std::vector<std::string> words;
  words.push_back("history");
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  auto fail = [&](const std::string& why) {
    if (o.error.empty()) o.error = why;
  };
  optind = 0;
  opterr = 0;
  int c;
  const int argc = static_cast<int>(words.size());
  while ((c = getopt_long(argc, argv.data(), ":h", kHistoryOptions, nullptr)) != -1) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case 'H': o.home = value; break;
      case 's':
        o.filter.since = NormalizeUtcBound(value, false);
        if (o.filter.since.empty()) fail("--since: not a time: " + value);
        break;
      case 'u':
        o.filter.until = NormalizeUtcBound(value, true);
        if (o.filter.until.empty()) fail("--until: not a time: " + value);
        break;
      case 'i': o.filter.unitId = value; break;
      case 'p':
        if (value.size() != 1 || value[0] < '1' || value[0] > '8') fail("--port: a port from 1 to 8");
        else o.filter.port = value[0] - '0';
        break;
      case 'r':
        if (value != "ok" && value != "failed" && value != "stopped" && value != "interrupted" && value != "running")
          fail("--result: ok, failed, stopped, interrupted or running");
        o.filter.result = value;
        break;
      case 'f':
        if (value == "table") o.format = ReportFormat::Table;
        else if (value == "csv") o.format = ReportFormat::Csv;
        else if (value == "json") o.format = ReportFormat::Json;
        else fail("--format: table, csv or json");
        break;
      case 'S': o.summary = true; break;
      case 'C': o.central = true; break;
      case 'h': o.help = true; break;
      case ':': fail(std::string(argv[static_cast<size_t>(optind) - 1]) + " needs a value"); break;
      default: {
        const int at = optind - 1;
        fail("unknown option " + (at > 0 && at < argc ? words[static_cast<size_t>(at)] : std::string()));
      }
    }
  }
  if (optind < argc) fail("unexpected word " + words[static_cast<size_t>(optind)]);
  return o;
}

int RunHistoryCommand(const std::vector<std::string>& args) {
  HistoryOptions o = ParseHistoryArgs(args);
  if (o.help) {
    std::fputs(HistoryUsage().c_str(), stdout);
    return kExitOk;
  }
  if (!o.error.empty()) {
    std::fprintf(stderr, "flashery history: %s\n\n%s", o.error.c_str(), HistoryUsage().c_str());
    return kExitUsage;
  }
  std::optional<std::string> folder = ProgramFolder(o.home);
  if (!folder) {
    std::fprintf(stderr, "flashery history: the program folder cannot be found\n");
    return kExitFailed;
  }
  std::optional<std::vector<UnitRecord>> units;
  if (o.central) {
    std::string why;
    units = QueryCentralHistory(*folder, o.filter, &why);
    if (!units) {
      std::fprintf(stderr, "flashery history: %s\n", why.c_str());
      return kExitFailed;
    }
  } else {
    LocalStore store;
    const std::string path = HistoryStorePath(*folder);
    if (!store.Open(path, false) || !(units = store.Query(o.filter))) {
      std::fprintf(stderr, "flashery history: %s: %s\n", path.c_str(), store.error().c_str());
      return kExitFailed;
    }
  }
  std::string text = o.summary ? FormatSummary(Summarize(*units), o.format) : FormatUnits(*units, o.format);
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) return kExitFailed;
  return kExitOk;
}

}  // namespace flashery
