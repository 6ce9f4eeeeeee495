// Lines of a list file: the field splitter and the reading of one entry.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace flashery {

// Splits a list line into its fields: one trailing line feed is dropped,
// the line is taken to at most 259 bytes (never cutting a UTF-8 character),
// and it is cut at every separator character. Empty pieces are not fields,
// so a line without a separator gives one field and an empty line none.
std::vector<std::string> SplitListLine(std::string_view line, std::string_view separators = ";");

// One line of a list as an entry. fields is 1 for a line without ';' (a
// header or anything else), 2 for "name;size", 3 for "name;size;check".
// A name may itself hold ';' (the original platform allows it): the size and
// check are then the trailing fields, recognised by their form ("...byte",
// "0x..."), and the name is everything before them.
struct ListEntry {
  int fields = 0;
  std::string name, size, check;
};
ListEntry ParseListEntry(std::string_view line);

bool IsFolderHeader(std::string_view line);  // holds "FILE:"

}  // namespace flashery
