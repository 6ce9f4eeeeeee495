// The command line of flashery-sim.
//
//   flashery-sim --dir DIR [--count N] [--serial-prefix P] [--model M]
//                [--vendor V] [--revision R] [timings] [faults] [--faulty LIST]
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
  bool help = false;
};

struct ParsedOptions {
  SimOptions options;
  std::string error;  // non-empty: a usage error
  bool ok() const { return error.empty(); }
};

ParsedOptions ParseSimOptions(const std::vector<std::string>& args);
// The same, for a program that adds options of its own (`extra`): those
// given are returned in *extraGiven, in order, their spec indexing `extra`.
ParsedOptions ParseSimOptions(const std::vector<std::string>& args, const std::vector<OptionSpec>& extra,
                              std::vector<ReadOptions::Given>* extraGiven, const std::string& program);
std::string SimUsage();

std::string HandsetSerial(const SimOptions& options, int index);
// The configuration of handset `index` (1-based).
HandsetConfig HandsetConfigFor(const SimOptions& options, int index);

}  // namespace flashery::sim
