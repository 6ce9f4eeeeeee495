#include "zip/implied_folders.h"

#include <set>
#include <string>
#include <utility>

namespace flashery {

bool AddImpliedFolders(std::vector<ZipEntry>& entries, size_t maxEntries) {
  std::set<std::pair<std::string, std::string>> folders;  // (path, name)
  for (const auto& e : entries)
    if (e.isDirectory) folders.emplace(e.path, e.name);
  const size_t stored = entries.size();
  for (size_t i = 0; i < stored; ++i) {
    std::string path = entries[i].path;
    while (!path.empty()) {
      size_t cut = path.rfind('\\');
      std::string parent = cut == std::string::npos ? std::string() : path.substr(0, cut);
      std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
      if (folders.emplace(parent, name).second) {
        if (entries.size() >= maxEntries) {
          entries.resize(stored);
          return false;
        }
        ZipEntry folder;
        folder.path = parent;
        folder.name = name;
        folder.isDirectory = true;
        folder.implied = true;
        entries.push_back(std::move(folder));
      }
      path = parent;
    }
  }
  return true;
}

}  // namespace flashery
