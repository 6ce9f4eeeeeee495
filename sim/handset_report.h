// What a simulated handset writes to DIR/SERIAL/report.json: what it
// received and stored, what it refused and why, the faults it was told to
// show, and a trace of the commands.
//
// "rejected" lists only refusals of what the station sent (bad layouts,
// bad check values, wrong order); it is empty after a correct download.
// Injected faults are listed under "faults", never under "rejected".
// The trace merges runs of the same command with the same outcome into one
// entry with a count; CheckAlive commands that succeed are only counted (in
// "commands"), since the station sends one before nearly every block. The
// trace keeps its first kMaxTraceEntries entries and counts the rest in
// "traceDropped".
//
// Numbers that are check values are written in hexadecimal text
// ("0x869031C3") as well as in decimal, so that a reader can compare them
// with a package header either way.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/file_receiver.h"
#include "sim/image_receiver.h"
#include "sim/vendor_command.h"

namespace flashery::sim {

constexpr size_t kMaxTraceEntries = 5000;

struct Rejection {
  uint64_t atMs = 0;
  std::string command;
  std::string reason;
};

struct FaultEvent {
  uint64_t atMs = 0;
  std::string command;
  std::string fault;
};

struct TraceEntry {
  uint64_t atMs = 0;  // of the first command of the run
  std::string command;
  uint8_t status = 0;
  uint32_t count = 1;
  std::string note;
};

struct HandsetReport {
  std::string serial;     // the handset's own serial (its folder name)
  std::string busSerial;  // the serial it shows on the bus now
  std::string model;
  std::string interfacePath;
  Stage stage = Stage::kDownload;
  bool onBus = false;
  uint32_t restarts = 0;  // times it left the bus
  bool downloadOpened = false;
  int finishImagesFlag = -1;  // -1: FinishImages not received
  int restartFlag = -1;       // byte 8 of the last RestartHandset
  std::vector<ImageRecord> images;
  std::vector<std::string> folders;
  std::vector<FileRecord> files;
  std::vector<int> prepared;  // storage modes in the order prepared
  bool fileSetsFinished = false;
  bool completionStarted = false;
  bool completed = false;  // PollCompletion answered "1"
  std::array<uint32_t, kCommandKindCount> commands{};
  std::vector<Rejection> rejected;
  std::vector<FaultEvent> faults;
  std::vector<TraceEntry> trace;
  uint64_t traceDropped = 0;

  void AddTrace(uint64_t atMs, CommandKind kind, uint8_t status, const std::string& note);
};

std::string ReportToJson(const HandsetReport& report);
// Quoted JSON string of text (invalid UTF-8 and control bytes as \xNN text).
std::string JsonQuote(std::string_view text);

}  // namespace flashery::sim
