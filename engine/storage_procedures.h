// The procedures that take the handset from its image stage to its storage
// stage: RestartIntoStorage (wait for readiness, then RestartHandset),
// SelectStorageMode (wait for readiness without pauses, then SelectMode)
// and PrepareStorageArea (PrepareStorage of one mode, repeated up to 10
// times, then PollStorage every 500 ms for up to 500 polls until the
// handset answers that the area is prepared).
//
// Storage modes: 1 prepares every area at once (its reply is
// "end=p1=1:p2=1:p3=1:p4=1"); 2 to 5 one area each (reply "1"); which area
// a mode selects is the handset's.
#pragma once

namespace flashery {

class PortDevice;

bool RestartIntoStorage(PortDevice& dev, bool commandLineMode);
bool SelectStorageMode(PortDevice& dev);
bool PrepareStorageArea(PortDevice& dev, int mode);

}  // namespace flashery
