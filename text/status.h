// Status output of a port: ShowStatus writes the port's status line and
// moves its progress bar one step; WriteLog appends a record to the run's
// log; ReportMessage does both and ends the log line ("report m": status m,
// log m, log "\r\n").
//
// A status text is cut to 259 bytes (never inside a UTF-8 character). In
// the unattended mode nothing is shown and the progress position stays;
// the job listener, when set, still hears every status text.
//
// Once `stopped` is set (the operator's stop has cut the job off from its
// handset: every later command is refused without reaching it and every
// wait returns at once), nothing more is shown, heard or logged for the
// port: a refusal, a count or a failure after that point would describe
// what never happened on the wire. The job's closing line is written with
// a copy whose `stopped` is cleared.
#pragma once

#include <cstdint>
#include <stop_token>
#include <string>

namespace flashery {

class PortView;
class JobListener;
class LogFile;

struct PortOutput {
  int port = 0;                   // 0..7
  std::string instanceId;         // at most 32 characters of the device path
  uint32_t progressPosition = 0;  // 0..32,700
  PortView* view = nullptr;
  JobListener* listener = nullptr;
  LogFile* log = nullptr;
  bool commandLineMode = false;
  // Image and file bytes the handset has accepted in this job so far.
  uint64_t transferredBytes = 0;
  std::stop_token stopped{};
  // The last status text shown (cut as shown): what a failure decided at
  // this point is reported with.
  std::string lastText;
};

constexpr uint32_t kProgressMax = 32700;
constexpr size_t kStatusMaxBytes = 259;

void ShowStatus(PortOutput& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void WriteLog(PortOutput& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ShowStatusText(PortOutput& out, const std::string& text);
void WriteLogText(PortOutput& out, const std::string& text);
void ReportMessage(PortOutput& out, const std::string& text);
// Adds `bytes` accepted by the handset to the job's total and tells the
// listener the new total.
void NoteTransferred(PortOutput& out, uint32_t bytes);

// printf into a std::string (no length limit).
std::string FormatString(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Cuts to at most maxBytes bytes, never inside a UTF-8 sequence.
std::string CutUtf8Bytes(std::string s, size_t maxBytes);

}  // namespace flashery
