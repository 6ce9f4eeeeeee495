// Handset names of file-set files and folders, and the list files that are
// kept out of a copy.
//
// A handset name is the file set's handset root ("//udisk//", "//gpsdata//",
// "//quillon//") followed by the part of the local path below the set's
// marker folder, every '/' written as "//", in UTF-8, at most 259 bytes.
// The marker folders are searched in the order "GPS", "内置资源", "quillon";
// the first one present wins.
//
// The search is confined to the set: it starts at the deepest marker folder
// of the set folder's own path (normally the set folder itself, e.g.
// /srv/res/GPS), or below the set folder when its path holds no marker.
// Searching the whole absolute path would find a marker folder above the
// set (/srv/GPS/release/内置资源/x gave "//udisk//release//内置资源//x"
// instead of "//udisk//x"). Below that point the search order still holds:
// /x/quillon/GPS/a maps after "GPS".
//
// Marker folders match whole path components without regard to ASCII case:
// on this platform the scan resolves the layout's literal folder names
// ("GPS") to the case found on disk. A name longer than 259 bytes is
// refused (the handset's name field), which also ends the walk of a
// folder tree that loops through a symbolic link.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace flashery {

constexpr size_t kHandsetNameMaxBytes = 259;

// The handset name of `localPath` (a path inside `setFolder`) under `root`;
// nullopt when no marker folder is found, the root is empty, the name
// would be too long or a component is valid neither in UTF-8 nor in
// `codepage` (a name on this disk that is not UTF-8 was written in the
// station's code page and is decoded from it, component by component).
std::optional<std::string> MapToHandsetName(std::string_view setFolder, std::string_view localPath,
                                            std::string_view root, Codepage codepage = Codepage::Gbk);

// A local file that is never copied: its full path contains
// "quilfile_pc.txt" or "resfile_pc.txt" (the sets' reference lists; the
// test is on the whole path and ignores ASCII case).
bool IsSkippedListFile(std::string_view path);

}  // namespace flashery
