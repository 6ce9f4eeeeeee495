// ScanReporter: how a configuration check reaches the dialog that started
// it. A check runs on its own worker thread and reports by text id; the
// window front end carries each call over to the GUI thread (status line,
// counting timer, check box), the console side prints, and the test side
// records. Every implementation may be called from several workers at once.
//
// What a check finds is not written into the dialog or the selection by the
// worker: the worker hands back a result object when it ends, and the
// dialog's thread applies it (scan_result.h).
#pragma once

#include <cstdio>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace flashery {

class TextTable;

enum class ScanSet : int { Package = 0, Resources = 1, Gps = 2 };
const char* ScanSetName(ScanSet set);  // "package", "resources", "gps"

// A status message: the text of a text id followed by a detail (a path, a
// list of missing folders). textId -1: the detail alone.
struct ScanText {
  int textId = -1;
  std::string detail;

  std::string Compose(const TextTable& texts) const;
  bool operator==(const ScanText&) const = default;
};
void PrintTo(const ScanText& text, std::ostream* out);  // test messages

class ScanReporter {
 public:
  virtual ~ScanReporter() = default;
  // The check of `set` began; its check box stays disabled until it ends.
  virtual void CheckStarted(ScanSet set) = 0;
  // A message for the set's status line.
  virtual void ShowStatus(ScanSet set, const ScanText& text) = 0;
  // The check ended; the set's counting timer stops.
  virtual void CheckEnded(ScanSet set, bool ok) = 0;
};

// Prints "<set>: <text>" lines. A text id whose text is empty (no language
// file) is printed as "(text N)" so the message stays identifiable.
class ConsoleScanReporter final : public ScanReporter {
 public:
  ConsoleScanReporter(std::FILE* out, const TextTable& texts) : out_(out), texts_(texts) {}
  void CheckStarted(ScanSet set) override;
  void ShowStatus(ScanSet set, const ScanText& text) override;
  void CheckEnded(ScanSet set, bool ok) override;

 private:
  std::FILE* out_;
  const TextTable& texts_;
  std::mutex mutex_;
};

// Tests: every call, in order.
class RecordingScanReporter final : public ScanReporter {
 public:
  enum class Kind { Started, Status, Ended };
  struct Event {
    Kind kind;
    ScanSet set;
    ScanText text;
    bool ok = false;
  };
  void CheckStarted(ScanSet set) override;
  void ShowStatus(ScanSet set, const ScanText& text) override;
  void CheckEnded(ScanSet set, bool ok) override;
  std::vector<Event> events() const;
  std::vector<ScanText> statuses(ScanSet set) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Event> events_;
};

}  // namespace flashery
