// The unattended mode's live output. On a terminal: a table, one row per
// port (handset, current step, percent, MB/s, result), redrawn in place at
// most five times a second. Otherwise: plain lines, one per step of a
// port's job (its JobStep name and item) and one per result, with the
// reason of a failure or a stop. It hears the job events only; the status
// texts are for display and are not read. The run record and the run's log
// file are written elsewhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "text/job_listener.h"

namespace flashery {

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
  LiveOutput(Clock& clock, std::FILE* out, bool terminal, int width);
  void AddPort(int port, const std::string& handset, uint64_t plannedBytes);
  void OnStep(int port, JobStep step, const std::string& item) override;
  void OnBytes(int port, uint64_t totalBytes) override;
  void OnJobEnded(const JobEnd& end) override;
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
  mutable std::mutex mutex_;
  std::vector<PortProgress> rows_;
  int drawnLines_ = 0;
  double lastDraw_ = -1;
};

}  // namespace flashery
