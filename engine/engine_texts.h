// The named text ids, for engine files that also use the device layer's
// vendor operations. device/port_device.h still names a few of the same
// ids in an enum of its own, and one name (kTextImageAborted) is spelled
// alike in both; the engine never uses that one, so it is kept out of the
// way here until the device layer uses text/text_ids.h itself.
#pragma once

#include "device/port_device.h"

#define kTextImageAborted kTextImageAbortedNamedId
#include "text/text_ids.h"
#undef kTextImageAborted
