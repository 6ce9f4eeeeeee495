#include "filesets/list_filter.h"

#include "platform/paths.h"

namespace flashery {

static bool AddName(std::vector<std::string>& names, std::string name) {
  if (name.empty() || name.size() > ListFilter::kMaxNameBytes || names.size() >= ListFilter::kMaxNames)
    return false;
  names.push_back(std::move(name));
  return true;
}

static bool Contains(const std::vector<std::string>& names, std::string_view name) {
  for (const auto& n : names)
    if (EqualsNoCase(n, name)) return true;
  return false;
}

bool ListFilter::AddFolder(std::string name) { return AddName(folderNames, std::move(name)); }
bool ListFilter::AddFile(std::string name) { return AddName(fileNames, std::move(name)); }
bool ListFilter::ExcludesFolder(std::string_view name) const { return enabled && Contains(folderNames, name); }
bool ListFilter::ExcludesFile(std::string_view name) const { return enabled && Contains(fileNames, name); }

bool IsThumbnailCache(std::string_view name) {
  return EqualsNoCase(name, "Thumbs.db") || EqualsNoCase(name, "ehThumbs.db");
}

ListFilter SetListFilter(const std::string& referenceName, const std::string& currentName, bool noThumbs) {
  ListFilter f;
  f.enabled = true;
  if (noThumbs) {
    f.AddFile("Thumbs.db");
    f.AddFile("ehThumbs.db");
  }
  f.AddFile(referenceName);
  f.AddFile(currentName);
  return f;
}

}  // namespace flashery
