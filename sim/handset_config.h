// What one simulated handset is: its identity on the bus, where it keeps
// what it receives, how long its steps take and which faults it shows.
// All durations are in station milliseconds (the Clock scales them).
#pragma once

#include <cstdint>
#include <string>

#include "sim/fault_plan.h"

namespace flashery::sim {

struct HandsetTimings {
  uint32_t openBusyMs = 200;     // busy after OpenDownload
  uint32_t imageBusyMs = 300;    // busy storing an image after EndImage
  uint32_t segmentBusyMs = 300;  // busy storing a segment after its check
  uint32_t finishBusyMs = 1000;  // busy storing the images after FinishImages
  uint32_t leaveDelayMs = 200;   // from the answer to a restart to leaving the bus
  uint32_t offBusMs = 3000;      // time off the bus per restart
  uint32_t prepareMs = 1500;     // a storage preparation
  uint32_t completeMs = 1500;    // from StartCompletion to finished
};

struct HandsetConfig {
  std::string serial;  // also its folder name below the bus folder
  std::string model = "T745";
  std::string vendor = "vantor";
  std::string revision = "0001";
  std::string folder;  // DIR/SERIAL: images/, storage/, report.json
  std::string socketPath;  // the USB socket it is plugged into; empty: none
  HandsetTimings timings;
  FaultList faults;
};

// The disk interface path a handset shows, e.g.
// \\?\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#SERIAL&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}
// (vendor, model and revision lower-cased as the platform writes them; the
// serial kept as it is).
std::string InterfacePath(const std::string& vendor, const std::string& model,
                          const std::string& revision, const std::string& serial);

}  // namespace flashery::sim
