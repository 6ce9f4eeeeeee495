// The command line of flashery-usb-handset: the handset options of
// flashery-sim (the same parser, so both fronts of the handset are
// configured alike: --dir, model, vendor, revision, timings and faults)
// plus the options of the USB body, all read in one getopt_long pass:
//
//   flashery-usb-handset --dir DIR --udc NAME [--serial S] [--gadget NAME]
//                        [--function NAME] [--configfs DIR] [--ffs-dir DIR]
//                        [--trace] [handset options of flashery-sim]
//
// One process is one handset: --count, when given, must be 1. The serial is
// --serial, or flashery-sim's first serial (--serial-prefix P gives P0001);
// the handset keeps what it receives in DIR/SERIAL as flashery-sim does.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/usb_handset_gadget.h"

namespace flashery::sim {

struct UsbHandsetOptions {
  SimOptions handset;
  std::string serial;
  GadgetSetup gadget;
  bool trace = false;
  bool help = false;
};

struct ParsedUsbHandsetOptions {
  UsbHandsetOptions options;
  std::string error;
  bool ok() const { return error.empty(); }
};

ParsedUsbHandsetOptions ParseUsbHandsetOptions(const std::vector<std::string>& args);
std::string UsbHandsetUsage();
// The handset's configuration; the gadget's serial is set to match.
HandsetConfig UsbHandsetConfig(UsbHandsetOptions& options);

}  // namespace flashery::sim
