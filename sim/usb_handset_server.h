// One handset on a real USB bus: the bulk-only transport served on the
// gadget's FunctionFS endpoints, every command block answered by the
// UsbScsiTarget (and so, for vendor blocks, by the handset model), and the
// model's bus events carried out on the gadget:
//   - a restart (RestartHandset, SelectMode): after the answer and the
//     model's leave delay the gadget is unbound — the host sees the device
//     unplugged — for the model's time off the bus, then bound again with
//     the serial the model comes back with (the same, or as a fault
//     another); a handset that never comes back stays unbound;
//   - a dropped connection: the gadget is unbound in the middle of the
//     command, without a status, and comes back after the time off the bus
//     with the same serial and the model's state unchanged (a cable pulled
//     and plugged in again);
//   - a late answer: the status is held back for the model's delay, unless
//     the host resets the transport first (it gives up on a command that
//     outlives its time-out), which abandons the command.
//
// Every wait is bounded: a data phase or a status the host does not take
// within kPhaseMs (real time, longer than the station's 8-second command
// time-out) is cancelled and the command abandoned; the wait for the next
// command block ends only with the stop signal. Model times are station
// milliseconds and scaled by the clock's factor like every other wait of
// the handset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "sim/handset_model.h"
#include "sim/handset_server.h"
#include "sim/usb_handset_ffs.h"
#include "sim/usb_handset_gadget.h"
#include "sim/usb_handset_scsi.h"

namespace flashery::sim {

constexpr int kPhaseMs = 10000;
// Longer data phases than this are refused like a broken command wrapper
// (the handset's longest takes 65,024 bytes).
constexpr uint32_t kMaxDataOut = 1 << 20;

class UsbHandsetServer {
 public:
  UsbHandsetServer(HandsetModel& model, UsbGadget& gadget, FunctionFs& ffs, double timeScale,
                   const StopSignal& stop, bool trace);

  // Powers the model on and plugs the handset in.
  bool Appear(std::string& error);
  // Serves until the stop signal; the handset is unplugged at the end.
  void Run();

 private:
  // False when the stop signal came.
  bool ServeCommand();
  bool Unplug(bool restart);
  int RealMs(uint32_t stationMs) const;
  void Note(const std::string& text) const;

  HandsetModel& model_;
  UsbGadget& gadget_;
  FunctionFs& ffs_;
  UsbScsiTarget target_;
  double timeScale_;
  const StopSignal& stop_;
  bool trace_;
  std::vector<uint8_t> wrapper_;
  std::vector<uint8_t> dataOut_;
};

}  // namespace flashery::sim
