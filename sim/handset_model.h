// The simulated handset: its download firmware as the station sees it,
// without any socket. The server hands it one command at a time and does
// what the answer says (answer now, answer late, never answer, drop the
// connection, leave the bus afterwards).
//
// Stages: after power-on the download stage takes OpenDownload and the
// images, FinishImages and RestartHandset; RestartHandset makes it leave the
// bus and come back in the second stage, which takes SelectMode; SelectMode
// makes it leave and come back in the storage stage, which takes the storage
// preparation, the file sets, FinishFileSets and the completion. CheckAlive
// and QueryState are taken in every stage. A command in the wrong stage is
// refused.
//
// Busy periods (QueryState byte 0 = 1 instead of 2): after OpenDownload,
// after each EndImage, after each segment check and after FinishImages, for
// the configured times. While busy the handset refuses BeginImage,
// WriteBlock, EndImage, FinishImages and RestartHandset: the station waits
// for readiness before each of them. Time comes from the Clock, so tests
// drive it with a FakeClock.
//
// Refused commands are answered with check condition (status 2) and leave
// the state as it was. Everything is recorded in a HandsetReport, written to
// FOLDER/report.json (atomically) after every event that matters to a
// reader: a refusal, a fault, an image stored, FinishImages, a storage
// preparation, FinishFileSets, the completion, leaving the bus, the end of a
// connection and shutdown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/fault_plan.h"
#include "sim/file_receiver.h"
#include "sim/handset_config.h"
#include "sim/handset_report.h"
#include "sim/image_receiver.h"
#include "sim/storage_areas.h"
#include "sim/vendor_command.h"

namespace flashery::sim {

constexpr uint8_t kStatusGood = 0;
constexpr uint8_t kStatusCheckCondition = 2;

struct HandsetCommand {
  uint8_t direction = kDirNone;
  uint8_t cdb[16] = {};
  uint32_t dataLength = 0;
  const uint8_t* data = nullptr;  // dataLength bytes when direction is to-device
  uint32_t timeoutMs = 8000;
};

enum class ReplyTiming : uint8_t {
  kNow,
  kAfterTimeout,    // answer only after delayMs (past the request's time-out)
  kDropConnection,  // close the connection without answering
  kNever,           // keep the connection, never answer
};

struct HandsetReply {
  uint8_t scsiStatus = kStatusGood;
  std::vector<uint8_t> data;  // the data-in bytes (never more than asked)
  ReplyTiming timing = ReplyTiming::kNow;
  uint32_t delayMs = 0;
  bool leaveBus = false;  // leave the bus after answering
};

struct BusReturn {
  bool comesBack = true;
  uint32_t offBusMs = 0;
  std::string busSerial;  // the serial it shows when it is back
};

class HandsetModel {
 public:
  HandsetModel(HandsetConfig config, Clock& clock);

  // Starts the handset afresh: empties FOLDER (images/, storage/) and writes
  // the first report. False when the folder cannot be made.
  bool PowerOn();
  HandsetReply Execute(const HandsetCommand& command);

  // The server took the handset off the bus; what happens next.
  BusReturn LeaveBus();
  // The handset is back on the bus, in its next stage.
  void Rejoin();
  void ConnectionClosed();
  void Shutdown();

  Stage stage() const { return stage_; }
  bool ready() const;
  const std::string& busSerial() const { return report_.busSerial; }
  std::string interfacePath() const;
  const HandsetReport& report() const { return report_; }
  const HandsetConfig& config() const { return config_; }
  std::string ReportPath() const;
  bool WriteReport();

 private:
  struct Outcome {
    std::string refusal;  // empty: accepted
    bool significant = false;
    bool leaveBus = false;
    std::string note;
  };

  Outcome Dispatch(const DecodedCommand& d, const HandsetCommand& c, HandsetReply& reply);
  Outcome Images(const DecodedCommand& d, const HandsetCommand& c);
  Outcome Storage(const DecodedCommand& d, const HandsetCommand& c, HandsetReply& reply);
  static bool AllowedIn(CommandKind kind, Stage stage);
  bool busy() const;
  void Reject(const char* command, const std::string& reason);
  void Fault(CommandKind kind, const std::string& what);
  static void ReplyText(const std::string& text, uint32_t size, HandsetReply& reply);

  HandsetConfig config_;
  Clock& clock_;
  FaultPlan faults_;
  ImageReceiver images_;
  FileReceiver files_;
  StorageAreas areas_;
  HandsetReport report_;
  Stage stage_ = Stage::kDownload;
  Stage nextStage_ = Stage::kDownload;
  bool downloadOpen_ = false;
  bool pulled_ = false;  // pulled from the bus by a fault: never comes back
  uint64_t busyUntilMs_ = 0;
  uint64_t completionAtMs_ = 0;
};

}  // namespace flashery::sim
