// SysfsBus: real handsets. A handset in download mode is a USB
// mass-storage disk; its SCSI generic node is what the station opens.
//
// A scan lists SYSFS/class/scsi_generic/sgN in the order of N. The node's
// "device" link leads to its SCSI device, whose "vendor", "model" and "rev"
// hold the inquiry strings. Walking up from there, the first folder with a
// "bInterfaceClass" file is the USB interface; only mass-storage
// interfaces (class 08) are taken, so internal disks and other SCSI nodes
// never show up. Its parent is the USB device, whose "serial" names the
// handset across restarts; a device without a serial (or with one of
// nothing but blanks, tabs, line ends and zero bytes, which the interface
// path drops) is named by its USB port ("port_" and the device
// folder's name, e.g. port_1-2.3), which stays stable as long as it is
// plugged into the same port.
//
// From these the interface path is built (BuildInterfacePath), and only
// paths of the maker's handsets (MatchHandsetPath with no model) are
// listed, so other USB disks never crowd handsets out of the 16 entries.
// The open path is DEV/sgN; the USB socket path is the USB device
// folder's name (e.g. 1-1.3), empty when it is not a plausible one. The walk and the naming are sysfs_node's, and
// the transports this bus makes check with them that an opened node still
// belongs to the port's handset. The sysfs root and the /dev root are
// parameters, so tests build a tree of their own.
#pragma once

#include <string>

#include "device/handset_bus.h"
#include "device/sg_io_transport.h"

namespace flashery {

class SysfsBus final : public HandsetBus {
 public:
  explicit SysfsBus(std::string sysfsRoot = "/sys", std::string devRoot = "/dev",
                    SgIoCalls& calls = SystemSgIoCalls())
      : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)), calls_(calls) {}

  std::vector<BusEntry> List() override;
  std::unique_ptr<Transport> NewTransport() override;

 private:
  std::string sysfsRoot_;
  std::string devRoot_;
  SgIoCalls& calls_;
};

}  // namespace flashery
