// The command line of flashery-sim.
//
//   flashery-sim --dir DIR [--count N] [--serial-prefix P] [--model M]
//                [--vendor V] [--revision R] [--usb-prefix U] [--units M]
//                [--unit-gap-ms T] [timings] [faults] [--faulty LIST]
//
// Handset i sits in socket i; with --usb-prefix U its socket path is U
// followed by i (1-1.1, 1-1.2, ...), written to DIR/SERIAL.usb. With
// --units M each socket serves M units in turn: unit 1 is handset i as
// above; once a unit has completed (it answered PollCompletion with "1"
// and the station closed its connection) it leaves the bus, and after
// --unit-gap-ms (1000 by default, scaled) unit u arrives in the same
// socket with the serial of handset i followed by "-U" and u (SIM0001-U2).
// A unit that never completes (a fault, an images-only run) stays until
// the simulator is stopped.
//
// Handset i (1-based) has the serial P followed by i in four digits
// (SIM0001, SIM0002, ...). Timings are in station milliseconds and scaled by
// FLASHERY_TIME_SCALE. Faults apply to every handset unless --faulty names
// the ones that show them (a comma list of handset numbers). Options are
// read with getopt_long: a value as the next word or after '=', unambiguous
// abbreviations, "--" ends the options (flashery-sim takes no arguments);
// the faults with an optional count take it only after '=' (--never-return=2).
#pragma once

#include <set>
#include <string>
#include <vector>

#include "platform/command_options.h"
#include "sim/handset_config.h"

namespace flashery::sim {

constexpr int kMaxSimHandsets = 16;
constexpr size_t kMaxSerialPrefix = 20;

struct SimOptions {
  std::string dir;
  int count = 1;
  std::string serialPrefix = "SIM";
  std::string model = "T745";
  std::string vendor = "vantor";
  std::string revision = "0001";
  HandsetTimings timings;
  FaultList faults;
  std::set<int> faulty;  // empty: all handsets
  std::string usbPrefix;  // empty: no socket paths
  int units = 1;
  uint32_t unitGapMs = 1000;
  bool help = false;
};

struct ParsedOptions {
  SimOptions options;
  std::string error;  // non-empty: a usage error
  bool ok() const { return error.empty(); }
};

ParsedOptions ParseSimOptions(const std::vector<std::string>& args);
// The same, for a program that adds options of its own (`extra`): those
// given are returned in *extraGiven, in order, their option an index into `extra`.
ParsedOptions ParseSimOptions(const std::vector<std::string>& args, const std::vector<OptionDecl>& extra,
                              std::vector<ReadOptions::Given>* extraGiven, const std::string& program);
std::string SimUsage();

std::string HandsetSerial(const SimOptions& options, int index, int unit = 1);
// The socket path of socket `index`; empty without --usb-prefix.
std::string HandsetSocketPath(const SimOptions& options, int index);
// The configuration of handset `index` (1-based).
// unit: 1-based, of socket `index`.
HandsetConfig HandsetConfigFor(const SimOptions& options, int index, int unit = 1);

}  // namespace flashery::sim
