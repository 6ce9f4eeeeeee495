// Port binding: what one scan of the device monitor does to the eight port
// records, decided as a pure function of the records, every handset of the
// maker found (in bus order) and the model filter (the open package's
// product name; empty while none is open).
//
// The model filter chooses which handsets may be bound and kept by ports
// without a running job; it never changes a running job. A port whose job
// runs keeps its own handset, and gets it back after a restart, whatever
// model the station is set to meanwhile (publishing another model's
// package must not make a running port's handset look gone). An idle or
// finished port whose handset is not of the model is cleared like one whose
// handset left, so a later start can never write one model's package to
// another model's handset; a job ending on such a handset frees its port
// at the next scan.
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
//     order; each bound port's panel shows "connected". With a socket map
//     ([PortMap], config/station_line.h) a mapped port takes only a
//     handset on its own socket (the first in bus order), and a handset
//     on a mapped socket takes only that port: while the port is busy
//     (its previous unit still bound, running or finished) the new one
//     waits, and two handsets reported on one socket (a fast swap seen
//     half-way) never take two ports. A handset on an unmapped or unknown
//     socket takes the lowest free unmapped port. Without a map every port
//     is unmapped: the lowest-free-port rule above.
//  5. Every empty port's panel shows "empty".
//  6. connectedCount = the handsets of the model found, plus those of
//     another model that running ports hold, at most 8.
//
// All handsets found (up to 16) take part in steps 1-3, so a ninth handset
// never makes a bound one look gone; the ones beyond the free ports wait
// until a port is free. A handset whose instanceId a port already holds is
// never bound to a second port, so an identity always names one port.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "config/station_line.h"
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

static_assert(kMappedPorts == kPortCount);

ScanDecision DecideScan(const std::array<PortRecord, kPortCount>& current,
                        const std::vector<PortRecord>& allFound, std::string_view model,
                        const PortMap& map = {});

}  // namespace flashery
