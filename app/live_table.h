// The unattended mode's live output. On a terminal: a table, one row per
// port (handset, current step, percent, MB/s, result), redrawn in place at
// most five times a second. Otherwise: plain lines, one per new step of a
// port (see step_text.h) and one per result. Every new step also goes to
// the run record when one is open. The run's log file is not touched here.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "text/job_listener.h"

namespace flashery {

class RunRecord;

enum class PortResult { Waiting, Running, Succeeded, Failed };

struct PortProgress {
  int port = 0;  // 0-based
  std::string handset;
  std::string step;
  uint64_t bytes = 0;
  uint64_t plannedBytes = 0;
  double startSeconds = 0, endSeconds = 0;
  PortResult result = PortResult::Waiting;
};

// Display columns of UTF-8 text (East Asian wide characters count two).
int DisplayWidth(const std::string& utf8);
// Cut (never inside a character) or pad with blanks to exactly `columns`.
std::string FitToWidth(const std::string& utf8, int columns);

// The table as lines (header first) for a terminal `width` columns wide.
std::vector<std::string> RenderTable(const std::vector<PortProgress>& rows, double nowSeconds, int width);

class LiveOutput final : public JobListener {
 public:
  LiveOutput(Clock& clock, std::FILE* out, bool terminal, int width, RunRecord* record);
  void AddPort(int port, const std::string& handset, uint64_t plannedBytes);
  void OnStatusText(int port, const std::string& text) override;
  void OnBytes(int port, uint64_t totalBytes) override;
  void Finish(int port, bool ok);
  // Draws the table (terminal) now; the plain output has nothing to draw.
  void Flush();
  std::vector<PortProgress> snapshot() const;

 private:
  PortProgress* Find(int port);
  void DrawLocked(bool force);

  Clock& clock_;
  std::FILE* out_;
  bool terminal_;
  int width_;
  RunRecord* record_;
  mutable std::mutex mutex_;
  std::vector<PortProgress> rows_;
  std::vector<std::string> shapes_;
  int drawnLines_ = 0;
  double lastDraw_ = -1;
};

}  // namespace flashery
