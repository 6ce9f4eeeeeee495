#include "app/live_table.h"

#include <algorithm>


namespace flashery {

namespace {

// Decodes one UTF-8 character at s[i]; returns its length (1 for a bad byte).
size_t NextChar(const std::string& s, size_t i, uint32_t& cp) {
  unsigned char c = static_cast<unsigned char>(s[i]);
  size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  if (i + len > s.size()) len = 1;
  cp = len == 1 ? c : (c & (0x7F >> len));
  for (size_t k = 1; k < len; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
  return len;
}

bool Wide(uint32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) ||
         (cp >= 0xF900 && cp <= 0xFAFF) || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

const char* ResultText(PortResult r) {
  switch (r) {
    case PortResult::Waiting: return "waiting";
    case PortResult::Running: return "running";
    case PortResult::Succeeded: return "OK";
    case PortResult::Failed: return "FAILED";
  }
  return "";
}

std::string Number(const char* fmt, double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

}  // namespace

int DisplayWidth(const std::string& s) {
  int w = 0;
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    i += NextChar(s, i, cp);
    w += Wide(cp) ? 2 : 1;
  }
  return w;
}

std::string FitToWidth(const std::string& s, int columns) {
  std::string out;
  int w = 0;
  for (size_t i = 0; i < s.size();) {
    uint32_t cp;
    size_t len = NextChar(s, i, cp);
    int cw = Wide(cp) ? 2 : 1;
    if (w + cw > columns) break;
    out.append(s, i, len);
    w += cw;
    i += len;
  }
  out.append(static_cast<size_t>(std::max(0, columns - w)), ' ');
  return out;
}

std::vector<std::string> RenderTable(const std::vector<PortProgress>& rows, double now, int width) {
  const int fixed = 5 + 1 + 17 + 1 + 1 + 6 + 1 + 8 + 1 + 8;  // every column but the step
  int stepWidth = std::max(10, width - fixed);
  std::vector<std::string> lines;
  lines.push_back(FitToWidth("port", 5) + " " + FitToWidth("handset", 17) + " " + FitToWidth("step", stepWidth) +
                  " " + FitToWidth("    %", 6) + " " + FitToWidth("    MB/s", 8) + " " + "result");
  for (const auto& r : rows) {
    double end = r.result == PortResult::Succeeded || r.result == PortResult::Failed ? r.endSeconds : now;
    double secs = end - r.startSeconds;
    std::string pct = r.plannedBytes ? Number("%5.1f", 100.0 * static_cast<double>(std::min(r.bytes, r.plannedBytes)) /
                                                          static_cast<double>(r.plannedBytes))
                                     : "    -";
    std::string rate = r.result != PortResult::Waiting && secs > 0.05
                           ? Number("%8.1f", static_cast<double>(r.bytes) / secs / 1e6)
                           : "       -";
    lines.push_back(FitToWidth(std::to_string(r.port + 1), 5) + " " + FitToWidth(r.handset, 17) + " " +
                    FitToWidth(r.step, stepWidth) + " " + FitToWidth(pct, 6) + " " + FitToWidth(rate, 8) + " " +
                    ResultText(r.result));
  }
  return lines;
}

LiveOutput::LiveOutput(Clock& clock, std::FILE* out, bool terminal, int width)
    : clock_(clock), out_(out), terminal_(terminal), width_(std::max(60, width)) {}

PortProgress* LiveOutput::Find(int port) {
  for (auto& r : rows_)
    if (r.port == port) return &r;
  return nullptr;
}

void LiveOutput::AddPort(int port, const std::string& handset, uint64_t plannedBytes) {
  std::lock_guard lock(mutex_);
  PortProgress p;
  p.port = port;
  p.handset = handset;
  p.plannedBytes = plannedBytes;
  p.startSeconds = clock_.RealSeconds();
  p.result = PortResult::Running;
  rows_.push_back(p);
  if (!terminal_) std::fprintf(out_, "port %d: handset %s\n", port + 1, handset.c_str());
  DrawLocked(true);
}

void LiveOutput::OnStep(int port, JobStep step, const std::string& item) {
  std::lock_guard lock(mutex_);
  PortProgress* r = Find(port);
  if (!r) return;
  r->step = item.empty() ? JobStepName(step) : std::string(JobStepName(step)) + " " + item;
  if (!terminal_) std::fprintf(out_, "port %d: %s\n", port + 1, r->step.c_str());
  DrawLocked(false);
}

void LiveOutput::OnBytes(int port, uint64_t totalBytes) {
  std::lock_guard lock(mutex_);
  if (PortProgress* r = Find(port)) r->bytes = totalBytes;
  DrawLocked(false);
}

void LiveOutput::OnJobEnded(const JobEnd& end) {
  std::lock_guard lock(mutex_);
  PortProgress* r = Find(end.port);
  if (!r) return;
  const bool ok = end.result == JobResult::Ok;
  r->result = ok ? PortResult::Succeeded : PortResult::Failed;
  r->endSeconds = clock_.RealSeconds();
  r->bytes = end.bytes;
  if (!ok) r->step = end.reason;
  double secs = r->endSeconds - r->startSeconds;
  if (!terminal_) {
    std::string word = end.result == JobResult::Ok ? "OK" : end.result == JobResult::Stopped ? "STOPPED" : "FAILED";
    std::string reason = ok || end.reason.empty() ? "" : ": " + end.reason;
    std::fprintf(out_, "port %d: %s%s (%s, %.1f s, %.1f MB)\n", end.port + 1, word.c_str(), reason.c_str(),
                 r->handset.c_str(), secs, static_cast<double>(r->bytes) / 1e6);
  }
  DrawLocked(true);
}

void LiveOutput::Flush() {
  std::lock_guard lock(mutex_);
  DrawLocked(true);
}

std::vector<PortProgress> LiveOutput::snapshot() const {
  std::lock_guard lock(mutex_);
  return rows_;
}

void LiveOutput::DrawLocked(bool force) {
  if (!terminal_) {
    std::fflush(out_);
    return;
  }
  double now = clock_.RealSeconds();
  if (!force && lastDraw_ >= 0 && now - lastDraw_ < 0.2) return;
  lastDraw_ = now;
  auto lines = RenderTable(rows_, now, width_);
  if (drawnLines_ > 0) std::fprintf(out_, "\x1b[%dA", drawnLines_);
  for (const auto& l : lines) std::fprintf(out_, "\r\x1b[2K%s\n", l.c_str());
  drawnLines_ = static_cast<int>(lines.size());
  std::fflush(out_);
}

}  // namespace flashery
