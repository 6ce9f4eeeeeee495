// Folder operations of the resource folder scan. Paths are native; each
// component is matched without regard to case when no entry of exactly that
// name exists, as the original platform's file system finds it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashery {

// The existing path that `path` names (case aside), or nullopt.
std::optional<std::string> ResolveExisting(const std::string& path);

// `path` (case aside) exists and is a folder.
bool FolderExists(const std::string& path);
// Anything exists at `path` (case aside).
bool PathExistsNoCase(const std::string& path);

// The sum of the lengths of all regular files below `path`, recursively,
// modulo 2^32. Symbolic links to folders are not followed (a link may form
// a loop); a link to a file counts as that file.
uint32_t FolderSize(const std::string& path);

// Deletes the folder with everything in it; with recreate the empty folder
// is made again. False for an empty path, the file system root, a path that
// does not exist or is no folder, or a deletion that failed. A symbolic link
// to a folder is removed as a link; its target is left alone.
bool DeleteFolder(const std::string& path, bool recreate);

struct PackageSearch {
  int count = 0;     // files of the folder whose extension is "QFM" (any case)
  std::string path;  // the last of them in listing order
};
PackageSearch FindPackageInFolder(const std::string& root);

}  // namespace flashery
