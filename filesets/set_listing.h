// Making a set's current list and comparing it with the set's reference
// list - the common core of the resources, backup and GPS checks and of the
// release tool. The current list is made like the reference list: with
// check values when it has them, relative names when it holds the set's
// marker, names in its code page, and the set's filter (its own two lists,
// and the thumbnail caches unless the reference list mentions them).
#pragma once

#include <optional>
#include <string>

#include "filesets/list_examine.h"
#include "filesets/list_writer.h"

namespace flashery {

class TextTable;

ListOptions CurrentListOptions(const ListProbe& probe, const std::string& referenceName,
                               const std::string& currentName, const std::string& anchor,
                               const std::string& logicalFolder);

enum class SetListing { Matches, ListFailed, Differs };

// Makes the current list at currentPath (empty first; a stale entry of that
// name removed so a link cannot redirect the write), lists `folder` into it,
// compares it with the reference list and deletes it again, whatever the
// outcome.
// ListFailed because of a name the list cannot hold: *refused (when given)
// names it.
SetListing ListAndCompare(const std::string& folder, const std::string& referencePath,
                          const std::string& currentPath, const ListOptions& options, Codepage system,
                          ListRefusal* refused = nullptr);

// The detail a set's check shows after its failure text: the name the
// listing refused and why; an undecodable reference list named by its path.
std::string RefusedNameDetail(const TextTable& texts, const ListRefusal& refused);
std::string UndecodableListDetail(const std::string& listPath, Codepage codepage);

// The three kinds of set and the anchor of their relative names.
enum class SetKind { Resources, Gps, Backup };
const char* AnchorOf(SetKind kind);

// The station's name of a folder inside a set, for relative naming: from
// the last path component that names the set's folder ("内置资源", "GPS"
// or "udisk_bak", any case) on, '\'-separated, with that component - and
// below GPS the QUILMAP folder - spelled as the station spells them. So a
// folder listed here gets the names the station's check gives it. nullopt
// when no component names the set's folder.
std::optional<std::string> StationNameInSet(const std::string& path, SetKind kind);

}  // namespace flashery
