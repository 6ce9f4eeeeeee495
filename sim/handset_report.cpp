#include "sim/handset_report.h"

#include "sim/handset_names.h"
#include "text/status.h"

namespace flashery::sim {

void HandsetReport::AddTrace(uint64_t atMs, CommandKind kind, uint8_t status,
                             const std::string& note) {
  const char* name = CommandName(kind);
  if (!trace.empty()) {
    TraceEntry& last = trace.back();
    if (last.command == name && last.status == status && last.note == note &&
        last.count < UINT32_MAX) {
      ++last.count;
      return;
    }
  }
  if (trace.size() >= kMaxTraceEntries) {
    ++traceDropped;
    return;
  }
  trace.push_back({atMs, name, status, 1, note});
}

std::string JsonQuote(std::string_view text) {
  std::string out = "\"";
  for (char c : Printable(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

namespace {

std::string Hex(uint32_t v) { return FormatString("\"0x%08X\"", v); }
const char* Bool(bool b) { return b ? "true" : "false"; }

template <typename T, typename F>
void Array(std::string& out, const char* key, const std::vector<T>& items, F each) {
  out += FormatString("  \"%s\": [", key);
  for (size_t i = 0; i < items.size(); ++i) {
    out += i == 0 ? "\n    " : ",\n    ";
    each(items[i]);
  }
  out += items.empty() ? "],\n" : "\n  ],\n";
}

}  // namespace

std::string ReportToJson(const HandsetReport& r) {
  std::string o = "{\n";
  o += "  \"serial\": " + JsonQuote(r.serial) + ",\n";
  o += "  \"busSerial\": " + JsonQuote(r.busSerial) + ",\n";
  o += "  \"model\": " + JsonQuote(r.model) + ",\n";
  o += "  \"interfacePath\": " + JsonQuote(r.interfacePath) + ",\n";
  o += FormatString("  \"stage\": \"%s\",\n  \"onBus\": %s,\n  \"restarts\": %u,\n",
                    StageName(r.stage), Bool(r.onBus), r.restarts);
  o += FormatString("  \"downloadOpened\": %s,\n  \"finishImagesFlag\": %d,\n"
                    "  \"restartFlag\": %d,\n",
                    Bool(r.downloadOpened), r.finishImagesFlag, r.restartFlag);
  Array(o, "images", r.images, [&](const ImageRecord& i) {
    o += FormatString("{\"code\": %u, \"size\": %u, \"file\": ", i.code, i.size) +
         JsonQuote(i.file) +
         FormatString(", \"check\": %u, \"checkHex\": %s, \"segments\": %u, \"blocks\": %u}",
                      i.check, Hex(i.check).c_str(), i.segments, i.blocks);
  });
  Array(o, "folders", r.folders, [&](const std::string& f) { o += JsonQuote(f); });
  Array(o, "files", r.files, [&](const FileRecord& f) {
    o += "{\"name\": " + JsonQuote(f.name) + ", \"path\": " + JsonQuote(f.path) +
         FormatString(", \"size\": %u, \"check\": %u, \"checkHex\": %s, \"blocks\": %u}", f.size,
                      f.check, Hex(f.check).c_str(), f.blocks);
  });
  o += "  \"prepared\": [";
  for (size_t i = 0; i < r.prepared.size(); ++i)
    o += FormatString(i == 0 ? "%d" : ", %d", r.prepared[i]);
  o += "],\n";
  o += FormatString("  \"fileSetsFinished\": %s,\n  \"completionStarted\": %s,\n"
                    "  \"completed\": %s,\n",
                    Bool(r.fileSetsFinished), Bool(r.completionStarted), Bool(r.completed));
  o += "  \"commands\": {";
  bool first = true;
  for (int k = 1; k < kCommandKindCount; ++k) {
    if (r.commands[k] == 0) continue;
    o += FormatString("%s\"%s\": %u", first ? "" : ", ", CommandName(static_cast<CommandKind>(k)),
                      r.commands[k]);
    first = false;
  }
  o += "},\n";
  Array(o, "rejected", r.rejected, [&](const Rejection& x) {
    o += FormatString("{\"atMs\": %llu, \"command\": ", static_cast<unsigned long long>(x.atMs)) +
         JsonQuote(x.command) + ", \"reason\": " + JsonQuote(x.reason) + "}";
  });
  Array(o, "faults", r.faults, [&](const FaultEvent& x) {
    o += FormatString("{\"atMs\": %llu, \"command\": ", static_cast<unsigned long long>(x.atMs)) +
         JsonQuote(x.command) + ", \"fault\": " + JsonQuote(x.fault) + "}";
  });
  Array(o, "trace", r.trace, [&](const TraceEntry& t) {
    o += FormatString("{\"atMs\": %llu, \"command\": \"%s\", \"status\": %u, \"count\": %u",
                      static_cast<unsigned long long>(t.atMs), t.command.c_str(), t.status,
                      t.count);
    if (!t.note.empty()) o += ", \"note\": " + JsonQuote(t.note);
    o += "}";
  });
  o += FormatString("  \"traceDropped\": %llu\n}\n",
                    static_cast<unsigned long long>(r.traceDropped));
  return o;
}

}  // namespace flashery::sim
