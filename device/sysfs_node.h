// sysfs_node: what sysfs says about a handset's SCSI generic node, shared
// by the bus scan and by the check a transport makes after opening a node.
//
// A SCSI generic node sits below its SCSI device, which sits below the USB
// interface of a mass-storage device. Walking up from a folder of that
// chain, the first folder with a "bInterfaceClass" file is the USB
// interface (only class 08, mass storage, is taken); its parent is the USB
// device. The handset's name is the USB device's "serial", or, for a
// device without one (or with one of nothing but blanks, tabs, line ends
// and zero bytes, which the interface path drops), "port_" and the device
// folder's name (e.g. port_1-2.3), which stays the same while it is
// plugged into that port.
//
// NodeInstanceId answers "which handset does the open node MAJ:MIN belong
// to now": it resolves SYSFS/dev/char/MAJ:MIN and walks up as above, and
// gives the instance id the handset's interface path carries
// (InstanceIdOfSerial), so it compares directly with a port record's. A
// node number is reused by the next handset that joins after one left, so
// a path found in an earlier scan may name another handset by the time it
// is opened.
//
// Every folder taken must lie inside the sysfs root (a link leading out of
// it is ignored), so a test builds a tree of its own and gives its root.
#pragma once

#include <optional>
#include <string>

namespace flashery {

// A sysfs attribute, read up to a small bound, without its trailing blanks
// and line ends; "" when it cannot be read.
std::string ReadSysfsAttribute(const std::string& path);

// The resolved form of `path` (links followed); nullopt when it does not
// exist.
std::optional<std::string> CanonicalPath(const std::string& path);

// Whether `path` lies strictly inside `root` (both canonical).
bool IsInsideFolder(const std::string& path, const std::string& root);

// The USB device folder (the mass-storage interface's parent) for a folder
// below a USB mass-storage interface inside `root`; nullopt otherwise. Its
// name is the handset's USB socket path ("1-1.3").
std::optional<std::string> UsbDeviceFolder(const std::string& canonicalRoot,
                                           const std::string& folder);

// The handset's name (USB serial, or port_ and the USB device folder's name)
// for a folder below a USB mass-storage interface; nullopt when the folder
// is not below one inside `root`.
std::optional<std::string> UsbHandsetName(const std::string& canonicalRoot,
                                          const std::string& folder);

// The instance id of the handset that owns character device major:minor
// now; nullopt when sysfs does not tie it to a USB mass-storage handset.
std::optional<std::string> NodeInstanceId(const std::string& sysfsRoot, unsigned major,
                                          unsigned minor);

}  // namespace flashery
