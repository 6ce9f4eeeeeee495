#include "sim/sim_options.h"

#include <functional>

#include "config/station_line.h"
#include "platform/command_options.h"
#include "platform/paths.h"
#include "text/status.h"

namespace flashery::sim {

namespace {

bool IsPlainWord(const std::string& s, size_t maxLength) {
  if (s.empty() || s.size() > maxLength) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool ParseMs(const std::string& text, uint32_t& out) {
  if (text == "0") {
    out = 0;
    return true;
  }
  return ParseCount(text, out) && out <= 3600000;
}

bool ParseList(const std::string& text, std::set<int>& out) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    uint32_t n = 0;
    if (!ParseCount(item, n) || n > kMaxSimHandsets) return false;
    out.insert(static_cast<int>(n));
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
  return false;
}

}  // namespace

std::string SimUsage() {
  return
      "usage: flashery-sim --dir DIR [options]\n"
      "Simulated handsets on the simulated bus in DIR: each handset SERIAL is the\n"
      "socket DIR/SERIAL.sock and the file DIR/SERIAL.id (its interface path). It\n"
      "keeps what it receives in DIR/SERIAL/images and DIR/SERIAL/storage (emptied\n"
      "at start) and writes DIR/SERIAL/report.json. When every handset is on the\n"
      "bus it prints \"ready\" and writes DIR/sim.ready. SIGINT or SIGTERM ends it\n"
      "and removes its files from DIR.\n"
      "\n"
      "  --dir DIR              bus folder (created when missing)\n"
      "  --count N              number of handsets, 1 to 16 (default 1)\n"
      "  --serial-prefix P      serials P0001, P0002, ... (default SIM)\n"
      "  --model M              model in the interface path (default T745)\n"
      "  --vendor V             vendor word (default vantor)\n"
      "  --revision R           revision (default 0001)\n"
      "  --usb-prefix U         handset K sits in USB socket UK (DIR/SERIAL.usb)\n"
      "  --units M              each socket serves M units in turn (1 to 1000):\n"
      "                         a completed unit leaves, a new serial arrives\n"
      "  --unit-gap-ms T        from one unit leaving to the next arriving (1000)\n"
      "Timings, in milliseconds, scaled by FLASHERY_TIME_SCALE:\n"
      "  --open-busy-ms T       busy after OpenDownload (200)\n"
      "  --image-busy-ms T      busy after each image (300)\n"
      "  --segment-busy-ms T    busy after each system image segment (300)\n"
      "  --finish-busy-ms T     busy after FinishImages (1000)\n"
      "  --leave-ms T           from a restart's answer to leaving the bus (200)\n"
      "  --offbus-ms T          time off the bus per restart (3000)\n"
      "  --prepare-ms T         a storage preparation (1500)\n"
      "  --complete-ms T        from StartCompletion to finished (1500)\n"
      "Faults (repeatable where it makes sense):\n"
      "  --refuse CMD[:N][@K]   refuse command CMD N times from its K-th occurrence\n"
      "  --late CMD[:N][@K]     as --refuse, but answer only after the station's\n"
      "                         time-out (its 8 s scaled, never under 3 real seconds)\n"
      "  --reject-block K[:N][@T]  refuse block K of a transfer N times\n"
      "                         (T: imageCODE such as image5, or a handset file name)\n"
      "  --drop-at-block K      close the connection at the K-th WriteBlock\n"
      "  --pull-at-block K      leave the bus at the K-th WriteBlock without an\n"
      "                         answer and never come back (a handset pulled out)\n"
      "  --never-ready          QueryState always answers busy\n"
      "  --never-return[=N]     do not come back after leaving the bus the N-th time\n"
      "  --other-serial         come back from each restart with another serial\n"
      "  --wrong-poll-storage[=N]     wrong text in N completed PollStorage replies\n"
      "  --wrong-poll-completion[=N]  wrong text in N completed PollCompletion replies\n"
      "  --silent               stay on the bus and take connections and commands,\n"
      "                         but never answer one\n"
      "  --faulty LIST          only these handsets (e.g. 2,3) show the faults\n"
      "  --help                 this text\n";
}

ParsedOptions ParseSimOptions(const std::vector<std::string>& args) { return ParseSimOptions(args, {}, nullptr, "flashery-sim"); }

ParsedOptions ParseSimOptions(const std::vector<std::string>& args, const std::vector<OptionDecl>& extra,
                              std::vector<ReadOptions::Given>* extraGiven, const std::string& program) {
  ParsedOptions p;
  SimOptions& o = p.options;
  HandsetTimings& t = o.timings;
  FaultList& f = o.faults;

  using Setter = std::function<bool(const std::string&)>;
  auto ms = [](uint32_t& field) { return Setter([&field](const std::string& v) { return ParseMs(v, field); }); };
  struct Valued {
    const char* name;
    Setter set;
  };
  std::string error;
  std::vector<Valued> valued = {
      {"--dir", [&](const std::string& v) { o.dir = v; return !v.empty(); }},
      {"--count", [&](const std::string& v) {
         uint32_t n = 0;
         if (!ParseCount(v, n) || n > kMaxSimHandsets) return false;
         o.count = static_cast<int>(n);
         return true;
       }},
      {"--serial-prefix", [&](const std::string& v) { o.serialPrefix = v; return IsPlainWord(v, kMaxSerialPrefix); }},
      {"--model", [&](const std::string& v) { o.model = v; return IsPlainWord(v, 24); }},
      {"--vendor", [&](const std::string& v) { o.vendor = v; return IsPlainWord(v, 16); }},
      {"--revision", [&](const std::string& v) { o.revision = v; return IsPlainWord(v, 8); }},
      {"--usb-prefix", [&](const std::string& v) {
         o.usbPrefix = v;
         return IsValidSocketPath(v + "16");
       }},
      {"--units", [&](const std::string& v) {
         uint32_t n = 0;
         if (!ParseCount(v, n) || n > 1000) return false;
         o.units = static_cast<int>(n);
         return true;
       }},
      {"--unit-gap-ms", ms(o.unitGapMs)},
      {"--open-busy-ms", ms(t.openBusyMs)},
      {"--image-busy-ms", ms(t.imageBusyMs)},
      {"--segment-busy-ms", ms(t.segmentBusyMs)},
      {"--finish-busy-ms", ms(t.finishBusyMs)},
      {"--leave-ms", ms(t.leaveDelayMs)},
      {"--offbus-ms", ms(t.offBusMs)},
      {"--prepare-ms", ms(t.prepareMs)},
      {"--complete-ms", ms(t.completeMs)},
      {"--refuse", [&](const std::string& v) {
         f.refuse.emplace_back();
         return ParseCommandFault(v, f.refuse.back(), error);
       }},
      {"--late", [&](const std::string& v) {
         f.late.emplace_back();
         return ParseCommandFault(v, f.late.back(), error);
       }},
      {"--reject-block", [&](const std::string& v) {
         f.rejectBlocks.emplace_back();
         return ParseBlockFault(v, f.rejectBlocks.back(), error);
       }},
      {"--drop-at-block", [&](const std::string& v) { return ParseCount(v, f.dropAtBlock); }},
      {"--pull-at-block", [&](const std::string& v) { return ParseCount(v, f.pullAtBlock); }},
      {"--faulty", [&](const std::string& v) { return ParseList(v, o.faulty); }},
  };
  struct Optional {
    const char* name;
    uint32_t* count;    // value after '=', or the default
    uint32_t byDefault;
    bool* flag;         // a plain switch
  };
  std::vector<Optional> optional = {
      {"--never-ready", nullptr, 0, &f.neverReady},
      {"--other-serial", nullptr, 0, &f.otherSerial},
      {"--silent", nullptr, 0, &f.silent},
      {"--never-return", &f.neverReturnAfter, 1, nullptr},
      {"--wrong-poll-storage", &f.wrongPollStorage, kAlways, nullptr},
      {"--wrong-poll-completion", &f.wrongPollCompletion, kAlways, nullptr},
  };

  std::vector<OptionDecl> declared;
  for (auto& v : valued) declared.push_back({v.name + 2, OptionDecl::Required});
  for (auto& v : optional) declared.push_back({v.name + 2, v.flag ? OptionDecl::None : OptionDecl::Optional});
  declared.push_back({"help", OptionDecl::None, 'h'});
  const size_t helpIndex = declared.size() - 1;
  declared.insert(declared.end(), extra.begin(), extra.end());
  auto nameOf = [&](int option) { return "--" + declared[static_cast<size_t>(option)].name; };

  ReadOptions read = ReadCommandOptions(args, declared, program);
  for (const ReadOptions::Given& g : read.options) {
    size_t at = static_cast<size_t>(g.option);
    if (at == helpIndex) {
      o.help = true;
      return p;
    }
    if (at > helpIndex) {
      if (extraGiven) extraGiven->push_back({static_cast<int>(at - helpIndex - 1), g.value});
      continue;
    }
    std::string name = nameOf(g.option);
    if (at < valued.size()) {
      const std::string& value = *g.value;
      error.clear();
      if (!valued[at].set(value)) {
        p.error = error.empty() ? "bad value '" + value + "' for " + name : name + ": " + error;
        return p;
      }
      continue;
    }
    Optional& v = optional[at - valued.size()];
    if (v.flag) {
      *v.flag = true;
    } else if (!g.value) {
      *v.count = v.byDefault;
    } else if (!ParseCount(*g.value, *v.count)) {
      p.error = "bad count '" + *g.value + "' for " + name;
      return p;
    }
  }
  if (read.problem) {
    const OptionProblem& bad = *read.problem;
    switch (bad.kind) {
      case OptionProblem::NeedsValue: p.error = nameOf(bad.option) + " needs a value"; break;
      case OptionProblem::TakesNoValue: p.error = nameOf(bad.option) + " takes no value"; break;
      case OptionProblem::Ambiguous: p.error = "ambiguous option '" + bad.word + "'"; break;
      case OptionProblem::Unknown: p.error = "unknown option '" + bad.word + "'"; break;
    }
    return p;
  }
  if (!read.arguments.empty()) {
    p.error = "unknown option '" + read.arguments.front() + "'";
    return p;
  }
  if (o.dir.empty()) p.error = "--dir is required";
  for (int n : o.faulty)
    if (n > o.count) p.error = FormatString("--faulty names handset %d of %d", n, o.count);
  return p;
}

std::string HandsetSerial(const SimOptions& o, int index, int unit) {
  std::string serial = o.serialPrefix + FormatString("%04d", index);
  return unit <= 1 ? serial : serial + FormatString("-U%d", unit);
}

std::string HandsetSocketPath(const SimOptions& o, int index) {
  return o.usbPrefix.empty() ? std::string() : o.usbPrefix + std::to_string(index);
}

HandsetConfig HandsetConfigFor(const SimOptions& o, int index, int unit) {
  HandsetConfig c;
  c.serial = HandsetSerial(o, index, unit);
  c.socketPath = HandsetSocketPath(o, index);
  c.model = o.model;
  c.vendor = o.vendor;
  c.revision = o.revision;
  c.folder = JoinPath(o.dir, c.serial);
  c.timings = o.timings;
  if (o.faulty.empty() || o.faulty.count(index)) c.faults = o.faults;
  return c;
}

}  // namespace flashery::sim
