#include "filesets/scan_reporter.h"

#include "text/text_table.h"

namespace flashery {

const char* ScanSetName(ScanSet set) {
  switch (set) {
    case ScanSet::Package: return "package";
    case ScanSet::Resources: return "resources";
    case ScanSet::Gps: return "gps";
  }
  return "?";
}

std::string ScanText::Compose(const TextTable& texts) const {
  return (textId >= 0 ? texts.Get(textId) : std::string()) + detail;
}

void PrintTo(const ScanText& text, std::ostream* out) {
  *out << "{text " << text.textId << ", \"" << text.detail << "\"}";
}

void ConsoleScanReporter::CheckStarted(ScanSet set) {
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%s: checking\n", ScanSetName(set));
  std::fflush(out_);
}

void ConsoleScanReporter::ShowStatus(ScanSet set, const ScanText& text) {
  std::string shown = text.Compose(texts_);
  if (text.textId >= 0 && texts_.Get(text.textId).empty())
    shown = "(text " + std::to_string(text.textId) + ")" + text.detail;
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%s: %s\n", ScanSetName(set), shown.c_str());
  std::fflush(out_);
}

void ConsoleScanReporter::CheckEnded(ScanSet set, bool ok) {
  std::lock_guard lock(mutex_);
  std::fprintf(out_, "%s: %s\n", ScanSetName(set), ok ? "accepted" : "refused");
  std::fflush(out_);
}

void RecordingScanReporter::CheckStarted(ScanSet set) {
  std::lock_guard lock(mutex_);
  events_.push_back({Kind::Started, set, {}, false});
}

void RecordingScanReporter::ShowStatus(ScanSet set, const ScanText& text) {
  std::lock_guard lock(mutex_);
  events_.push_back({Kind::Status, set, text, false});
}

void RecordingScanReporter::CheckEnded(ScanSet set, bool ok) {
  std::lock_guard lock(mutex_);
  events_.push_back({Kind::Ended, set, {}, ok});
}

std::vector<RecordingScanReporter::Event> RecordingScanReporter::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<ScanText> RecordingScanReporter::statuses(ScanSet set) const {
  std::lock_guard lock(mutex_);
  std::vector<ScanText> out;
  for (const auto& e : events_)
    if (e.kind == Kind::Status && e.set == set) out.push_back(e.text);
  return out;
}

}  // namespace flashery
