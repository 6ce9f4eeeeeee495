#include "zip/name_clash.h"

#include <map>
#include <string>

#include "platform/paths.h"

namespace flashery {

long FindNameClash(const std::vector<ZipEntry>& entries) {
  std::map<std::u16string, size_t> seen;  // upcased path -> first entry
  for (size_t i = 0; i < entries.size(); ++i) {
    const ZipEntry& e = entries[i];
    std::string path = e.path.empty() ? e.name : e.path + "\\" + e.name;
    std::u16string key = Utf8ToUtf16(path);
    for (char16_t& c : key) c = UpcaseUnit(c);
    auto [at, fresh] = seen.emplace(std::move(key), i);
    if (fresh) continue;
    const ZipEntry& first = entries[at->second];
    const bool sameSpelling = first.path == e.path && first.name == e.name;
    if (!sameSpelling || !first.isDirectory || !e.isDirectory) return static_cast<long>(i);
  }
  return -1;
}

}  // namespace flashery
