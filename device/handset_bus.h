// HandsetBus: where the station finds the handsets that are present.
//
// List gives at most kMaxBusEntries entries, in a stable order (the same
// handsets give the same order scan after scan), each with the handset's
// interface path (handset_path.h), the path its Transport opens and the
// USB socket it is plugged into (empty when the bus cannot tell). A bus
// that cannot be read gives no entries. NewTransport makes the transport
// that opens this bus's handsets.
//
// Implementations: SysfsBus (real handsets, SCSI generic over USB) and
// SimBus (flashery-sim's socket folder); MakeHandsetBus picks one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/transport.h"

namespace flashery {

constexpr size_t kMaxBusEntries = 16;

struct BusEntry {
  std::string interfacePath;  // e.g. \\?\usbstor#disk&ven_vantor&prod_...
  std::string openPath;       // e.g. /dev/sg3, or DIR/SERIAL.sock
  std::string socketPath;     // the USB socket, e.g. 1-1.3; empty when unknown
  bool operator==(const BusEntry&) const = default;
};

class HandsetBus {
 public:
  virtual ~HandsetBus() = default;
  virtual std::vector<BusEntry> List() = 0;
  virtual std::unique_ptr<Transport> NewTransport() = 0;
  // What the transport opens for a handset now present under this
  // interface path; nullopt when it is not present.
  std::optional<std::string> Resolve(const std::string& interfacePath);
};

}  // namespace flashery
