// Faults a simulated handset can be told to show, and the counters that
// decide when each one strikes.
//
//   refuse NAME[:N][@K]   answer command NAME with check condition N times
//                         (default 1), from its K-th occurrence (default 1);
//                         the command is not carried out.
//   late NAME[:N][@K]     as refuse, but the answer comes after the
//                         request's time-out (so the station sees no reply).
//                         Like a refused one, a late command is not carried
//                         out: a handset too slow to answer in time has not
//                         taken the block, so the station's repeat of it
//                         finds the handset where it was.
//   reject-block K[:N][@T]  refuse the K-th block of a transfer N times in
//                         all (default 1); T limits it to one transfer:
//                         "image5" (image code 5) or a handset file name.
//                         Without T any transfer's K-th block takes them
//                         while some are left (a refused block is sent
//                         again, so the first such transfer takes them all
//                         unless the station gives up on it).
//   drop-at-block K       close the connection without an answer when the
//                         K-th WriteBlock since power-on arrives (once).
//   never-ready           QueryState always answers busy.
//   never-return[=N]      after leaving the bus for the N-th time (default
//                         1) the handset does not come back.
//   other-serial          after every restart the handset comes back with
//                         another serial (SERIAL-R1, SERIAL-R2, ...).
//   wrong-poll-storage[=N]    the first N poll replies that would report
//   wrong-poll-completion[=N] completion carry a wrong text instead
//                         (default: all of them).
//   silent                the handset stays on the bus and takes
//                         connections and commands, but never answers one
//                         (nor carries it out).
//
// Occurrences count commands whose layout is valid.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim/vendor_command.h"

namespace flashery::sim {

constexpr uint32_t kAlways = UINT32_MAX;

struct CommandFault {
  CommandKind kind = CommandKind::kUnknown;
  uint32_t times = 1;
  uint32_t from = 1;
};

struct BlockFault {
  uint32_t block = 0;
  uint32_t times = 1;
  std::string target;  // "" any transfer, "image<code>", or a handset name
};

struct FaultList {
  std::vector<CommandFault> refuse;
  std::vector<CommandFault> late;
  std::vector<BlockFault> rejectBlocks;
  uint32_t dropAtBlock = 0;  // 0: never
  uint32_t pullAtBlock = 0;  // 0: never; K: pulled from the bus at the K-th WriteBlock, for good
  bool neverReady = false;
  uint32_t neverReturnAfter = 0;  // 0: always comes back
  bool otherSerial = false;
  uint32_t wrongPollStorage = 0;
  uint32_t wrongPollCompletion = 0;
  bool silent = false;

  bool empty() const;
};

// Parsers of the option values above; false with `error` set on bad text.
bool ParseCommandFault(std::string_view text, CommandFault& out, std::string& error);
bool ParseBlockFault(std::string_view text, BlockFault& out, std::string& error);
// A positive decimal count (at most 1,000,000,000).
bool ParseCount(std::string_view text, uint32_t& out);

class FaultPlan {
 public:
  explicit FaultPlan(FaultList faults);

  // Counts one occurrence of a valid command; returns its 1-based index.
  uint32_t Occur(CommandKind kind);
  bool Refused(CommandKind kind, uint32_t occurrence) const;
  bool Late(CommandKind kind, uint32_t occurrence) const;
  // Consumes one rejection when block `index` of transfer `target` is due.
  bool RejectBlock(uint32_t index, std::string_view target);
  // Counts one WriteBlock; true when the connection is to be dropped now.
  bool DropAtBlock();
  // Whether the WriteBlock DropAtBlock just counted is the one at which the
  // handset is pulled from the bus (it never answers it and never returns).
  bool PullAtThisBlock() const;
  bool neverReady() const { return faults_.neverReady; }
  // Whether the handset comes back after leaving the bus for the n-th time.
  bool ComesBack(uint32_t leaveCount) const;
  bool otherSerial() const { return faults_.otherSerial; }
  bool silent() const { return faults_.silent; }
  // Consume one wrong reply, if any is left.
  bool WrongPollStorage();
  bool WrongPollCompletion();

 private:
  FaultList faults_;
  std::array<uint32_t, kCommandKindCount> occurrences_{};
  std::vector<uint32_t> blockLeft_;
  uint32_t writeBlocks_ = 0;
  uint32_t storageLeft_;
  uint32_t completionLeft_;
};

}  // namespace flashery::sim
