// Discovery: the handsets of the maker on the bus, as port records.
//
// DiscoverHandsets keeps the bus entries whose interface path matches the
// model filter (MatchHandsetPath; the open package's product name, empty
// while no package is open) and fills one record per handset in bus order:
// devicePath = the interface path as listed, openPath = what the transport
// opens, socketPath = the USB socket, productText and instanceId from the path (ParseHandsetPath),
// attached = 1, state 0. At most kMaxBusEntries records.
#pragma once

#include <string_view>
#include <vector>

#include "device/handset_bus.h"
#include "device/port_record.h"

namespace flashery {

PortRecord RecordFromBusEntry(const BusEntry& entry);
std::vector<PortRecord> DiscoverHandsets(HandsetBus& bus, std::string_view model);

}  // namespace flashery
