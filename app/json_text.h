// JSON string literals for the run record: UTF-8 passes through, quotes,
// backslashes and control characters are escaped, and bytes that are not
// valid UTF-8 are written as \u00XX so the record always parses.
#pragma once

#include <string>
#include <string_view>

namespace flashery {

std::string JsonQuote(std::string_view text);

}  // namespace flashery
