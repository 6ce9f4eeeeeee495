// UTC wall-clock times for records. The station's Clock is monotonic and
// has no calendar; a record's times come from the system's real-time clock
// through this function, which tests replace.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace flashery {

using UtcNowMs = std::function<int64_t()>;  // milliseconds since 1970, UTC

int64_t SystemUtcNowMs();
// "YYYY-MM-DDTHH:MM:SS.mmmZ".
std::string IsoUtc(int64_t msSinceEpoch);
// The start of the local calendar day that holds `msSinceEpoch`, as IsoUtc.
std::string LocalDayStartUtc(int64_t msSinceEpoch);
// A --since / --until value: "YYYY-MM-DD", "YYYY-MM-DDTHH:MM[:SS]" with an
// optional "Z"; nullopt-like empty string when it is neither. `end` makes a
// bare date or minute mean the last instant it takes in.
std::string NormalizeUtcBound(const std::string& text, bool end);

}  // namespace flashery
