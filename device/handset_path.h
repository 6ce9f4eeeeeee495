// Handset interface paths: the text by which a handset in download mode is
// known on the bus, in the shape of a USB mass-storage disk interface
//
//   \\?\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#0123456789abcdef&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}
//
// Positions count from 0 in the lower-cased path: "usb" at 4-6, the vendor
// word "vantor" at 21-26, then the product field "quillon_" at 33 (form A)
// or at 34 (form B), directly followed by the model name. The model filter
// is compared as a prefix, without regard to case; an empty filter (no
// package open) matches every handset of the maker.
//
// The instance id (after the second '#', at most 32 characters, cut at the
// first '#' or '&') names the handset across its restarts; productText is
// the text after the first "prod_" up to the next '&'. Both keep the case
// of the path.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace flashery {

inline constexpr std::string_view kDiskInterfaceClass = "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
// Interface paths are held in 260-byte buffers: at most 259 characters.
constexpr size_t kInterfacePathMax = 259;

bool MatchHandsetPath(std::string_view path, std::string_view model);

struct HandsetPathParts {
  std::string productText;
  std::string instanceId;
};
HandsetPathParts ParseHandsetPath(std::string_view path);

// Builds the interface path of a USB mass-storage disk from its SCSI
// inquiry strings and its USB serial: "\\?\usbstor#disk&ven_" vendor
// "&prod_" product "&rev_" revision "#" serial "&0#" class. Each field is
// trimmed of blanks, lower-cased, inner blanks and the separators '#', '&',
// '\' and any control or non-ASCII byte become '_'; the vendor is cut to 8,
// the product to 16, the revision to 4 and the serial to 64 characters
// (the SCSI inquiry and USB string limits). nullopt when the vendor or the
// serial is empty.
std::optional<std::string> BuildInterfacePath(std::string_view vendor, std::string_view product,
                                              std::string_view revision, std::string_view serial);

// The instance id that the interface path built from this USB serial
// carries (ParseHandsetPath of BuildInterfacePath); "" for an empty serial.
std::string InstanceIdOfSerial(std::string_view serial);

}  // namespace flashery
