#include "text/status.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "text/log_file.h"
#include "text/job_listener.h"
#include "text/port_view.h"

namespace flashery {

static std::string VFormat(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return std::string(big.data(), static_cast<size_t>(n));
}

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = VFormat(format, args);
  va_end(args);
  return s;
}

std::string CutUtf8Bytes(std::string s, size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

void ShowStatusText(PortOutput& out, const std::string& text) {
  if (out.stopped.stop_requested()) return;
  std::string line = CutUtf8Bytes(text, kStatusMaxBytes);
  if (out.listener) out.listener->OnStatusText(out.port, line);
  out.lastText = line;
  if (out.commandLineMode) return;
  if (out.view) {
    out.view->SetStatusText(out.port, line);
    out.view->SetProgress(out.port, out.progressPosition);
  }
  ++out.progressPosition;
}

void WriteLogText(PortOutput& out, const std::string& text) {
  if (out.stopped.stop_requested()) return;
  if (out.log) out.log->Write(out.instanceId, text);
}

void ShowStatus(PortOutput& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = VFormat(format, args);
  va_end(args);
  ShowStatusText(out, s);
}

void WriteLog(PortOutput& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = VFormat(format, args);
  va_end(args);
  WriteLogText(out, s);
}

void ReportMessage(PortOutput& out, const std::string& text) {
  ShowStatusText(out, text);
  WriteLogText(out, text);
  WriteLogText(out, "\r\n");
}

void NoteTransferred(PortOutput& out, uint32_t bytes) {
  out.transferredBytes += bytes;
  if (out.listener) out.listener->OnBytes(out.port, out.transferredBytes);
}

}  // namespace flashery
