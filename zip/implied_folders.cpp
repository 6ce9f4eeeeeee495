#include "zip/implied_folders.h"

#include <set>
#include <string>
#include <utility>

namespace flashery {

size_t AddImpliedFolders(std::vector<ZipEntry>& entries) {
  std::set<std::pair<std::string, std::string>> folders;  // (path, name)
  for (const auto& e : entries)
    if (e.isDirectory) folders.emplace(e.path, e.name);
  const size_t stored = entries.size();
  size_t added = 0;
  for (size_t i = 0; i < stored; ++i) {
    std::string path = entries[i].path;
    while (!path.empty()) {
      size_t cut = path.rfind('\\');
      std::string parent = cut == std::string::npos ? std::string() : path.substr(0, cut);
      std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
      if (folders.emplace(parent, name).second) {
        ZipEntry folder;
        folder.path = parent;
        folder.name = name;
        folder.isDirectory = true;
        folder.implied = true;
        entries.push_back(std::move(folder));
        ++added;
      }
      path = parent;
    }
  }
  return added;
}

}  // namespace flashery
