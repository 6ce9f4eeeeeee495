// Folder operations of application staging, all confined to the staging
// destination: folders are made one level at a time and an existing name
// is accepted only when it is a real folder, never a symbolic link, so an
// archive can never write through a link into another part of the disk.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashery {

class Prompter;

// Makes root/relative (one level; the parent must exist) unless a folder
// of that name exists. A failure shows "%d Create %s failed\r\n" with the
// system error code and the full path and gives false. One trailing "/"
// of relative is dropped.
bool CreateSubfolder(const std::string& relative, const std::string& root, Prompter& prompter);

// CreateSubfolder for each leading part of components[0..count): every
// folder on the way down from root.
bool CreateFolderChain(const std::vector<std::string>& components, size_t count, const std::string& root,
                       Prompter& prompter);

// True when path is a regular file (not a link) that opens for reading and
// holds exactly `expected` bytes.
bool CheckFileSize(uint64_t expected, const std::string& path);

// Sum of the sizes of all regular files below path (recursively; links
// are neither followed nor counted). 0 for a missing path.
uint64_t TreeFileBytes(const std::string& path);

}  // namespace flashery
