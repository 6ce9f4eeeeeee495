// The station's own settings in section [Station] of downtoolcfg.ini
// (besides codePage, station_codepage.h):
//   goneFailSeconds  how long a running port's handset may stay off the bus
//                    (outside a restart its job asked for) before the job
//                    ends failed; 0 turns the rule off. Default 10; a value
//                    outside 0..3600 gives the default.
//   failureSound     1 (default): the window sounds when a port fails;
//                    0: silent. Any other value gives the default.
// A missing file or key gives the default. The station never writes them.
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

struct StationSettings {
  uint32_t goneFailSeconds = 10;
  bool failureSound = true;
};

StationSettings LoadStationSettings(const std::string& appFolder);

}  // namespace flashery
