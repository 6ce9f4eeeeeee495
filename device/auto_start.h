// Auto-start: which ports start their job by themselves after a scan, as a
// pure function of the port records and what the rule remembers.
//
// A port starts when it is one of the served ports (0..servedPorts-1), is
// bound to a handset that is attached, has no job (state idle), and its
// handset is not a finished unit that has yet to leave the bus.
//
// "Has left the bus" must hold after the job ended: a job that ends while
// its handset is off the bus (restarting at the end of an images-only run)
// sees the same handset come back, in its next stage, on the same or
// another port, and it must not be started again. So each finished unit is
// remembered with whether a scan has seen it on the bus since its job
// ended; it is forgotten at the first scan that does not see it after one
// that did. A new handset in the same socket has another identity and
// starts at once. At most kAutoStartMemory finished units are remembered
// (the oldest, one that never came back, is forgotten first).
//
// "Seen on the bus" is taken from the records: a port bound to the handset
// with attached = 1.
#pragma once

#include <array>
#include <deque>
#include <string>
#include <vector>

#include "device/port_record.h"

namespace flashery {

constexpr size_t kAutoStartMemory = 64;

struct FinishedUnit {
  std::string instanceId;
  bool seenSinceEnd = false;
  bool operator==(const FinishedUnit&) const = default;
};

struct AutoStartState {
  std::deque<FinishedUnit> finished;  // oldest first
  std::vector<std::string> active;    // handsets whose job has not been noted ended
};

// A job starts on the handset `instanceId`: until NoteJobEnded it is not
// started again, whatever its port's record says meanwhile (the job marks
// its port finished a moment before its end is noted).
void NoteJobStarted(AutoStartState& state, const std::string& instanceId);
// A job has ended on the handset `instanceId`; `attached`: it is on the bus now.
void NoteJobEnded(AutoStartState& state, const std::string& instanceId, bool attached);

// One decision after a scan: updates what is remembered and gives the ports
// (ascending) whose job starts now.
std::vector<int> DecideAutoStarts(const std::array<PortRecord, kPortCount>& ports, int servedPorts,
                                  AutoStartState& state);

}  // namespace flashery
