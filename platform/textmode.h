// Text mode as the original platform's C library does it: writing stores
// every LF as CR LF (so "\r\n" written becomes CR CR LF on disk); reading
// turns each CR LF back into LF. Files written here stay byte-identical with
// those the original platform wrote.
#pragma once

#include <string>
#include <string_view>

namespace flashery {

std::string ToTextMode(std::string_view text);    // LF -> CR LF
std::string FromTextMode(std::string_view bytes); // CR LF -> LF

}  // namespace flashery
