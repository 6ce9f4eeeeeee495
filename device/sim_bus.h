// SimBus: the handsets of flashery-sim. A simulated handset present on the
// bus is the socket DIR/SERIAL.sock with the one-line file DIR/SERIAL.id
// holding its interface path, and optionally DIR/SERIAL.usb holding the USB
// socket path it is plugged into; a handset that leaves the bus removes both
// and comes back by creating them again.
//
// A scan lists the folder in the platform's name order and takes every
// SERIAL.id whose serial is a plain file name (IsValidSimSerial) and whose
// socket exists; the first line of the id file (at most 259 characters,
// read from at most 4 KiB, CR/LF and blanks trimmed) is the interface path.
// Anything else -- an id file without its socket, an empty or overlong
// line, a file too large, a name that is not a serial -- is skipped, so a
// handset half-way through joining or leaving is simply not there yet. A
// .usb file that is missing, unreadable or not a plausible socket path
// (IsValidSocketPath) gives an empty socket path: the handset is listed,
// as one on an unknown socket.
#pragma once

#include <string>

#include "device/handset_bus.h"

namespace flashery {

class SimBus final : public HandsetBus {
 public:
  // timeScale is passed to the transports (<= 0: FLASHERY_TIME_SCALE).
  explicit SimBus(std::string dir, double timeScale = 0)
      : dir_(std::move(dir)), timeScale_(timeScale) {}

  std::vector<BusEntry> List() override;
  std::unique_ptr<Transport> NewTransport() override;
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  double timeScale_;
};

}  // namespace flashery
