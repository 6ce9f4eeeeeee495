#include "zip/zip_entry.h"

namespace flashery {

std::vector<std::string> ZipEntry::Components() const {
  std::vector<std::string> out;
  size_t start = 0;
  while (!path.empty() && start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string::npos) end = path.size();
    out.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  out.push_back(name);
  return out;
}

}  // namespace flashery
