// Port binding: what one scan of the device monitor does to the eight port
// records, decided as a pure function of the records and the handsets
// found (in bus order).
//
//  1. A bound port whose handset is among the found ones stays bound. One
//     whose handset is gone is cleared when idle or finished; while a job
//     runs only attached = 0 is set, so the job keeps its handset's
//     identity through a restart.
//  2. A found handset already held by a port that sees it attached is not
//     new. If its paths changed (it left and came back between two scans)
//     that port's record is refreshed, its state kept.
//  3. Returning handsets: a bound port that has lost its handset (attached
//     0) and sees the same instanceId again gets the fresh record (new
//     device path, attached = 1) and keeps its state. Each refreshed
//     running port costs the monitor a 200 ms pause.
//  4. New handsets take the idle empty ports, lowest port first, in bus
//     order; each bound port's panel shows "connected".
//  5. Every empty port's panel shows "empty".
//  6. connectedCount = the number found, at most 8.
//
// All handsets found (up to 16) take part in steps 1-3, so a ninth handset
// never makes a bound one look gone; the ones beyond the free ports wait
// until a port is free. A handset whose instanceId a port already holds is
// never bound to a second port, so an identity always names one port.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "device/port_record.h"

namespace flashery {

struct PanelUpdate {
  int port = 0;
  bool connected = false;
  bool operator==(const PanelUpdate&) const = default;
};

struct ScanDecision {
  std::array<PortRecord, kPortCount> ports{};
  std::vector<PanelUpdate> panels;
  int refreshedRunning = 0;  // running ports refreshed: one pause each
  uint32_t connectedCount = 0;
};

constexpr uint32_t kRefreshPauseMs = 200;

ScanDecision DecideScan(const std::array<PortRecord, kPortCount>& current,
                        const std::vector<PortRecord>& found);

}  // namespace flashery
