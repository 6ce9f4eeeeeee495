#include "filesets/set_listing.h"

#include <unistd.h>

#include "filesets/fileset_layout.h"
#include "filesets/list_compare.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

ListOptions CurrentListOptions(const ListProbe& probe, const std::string& referenceName,
                               const std::string& currentName, const std::string& anchor,
                               const std::string& logicalFolder) {
  ListOptions o;
  o.withCheck = probe.hasChecks;
  o.filter = SetListFilter(referenceName, currentName, probe.noThumbs);
  o.naming = {probe.hasMarker, anchor, logicalFolder};
  o.codepage = probe.codepage;
  return o;
}

SetListing ListAndCompare(const std::string& folder, const std::string& referencePath,
                          const std::string& currentPath, const ListOptions& options, Codepage system) {
  if (PathExists(currentPath) && !IsDirectory(currentPath)) ::unlink(currentPath.c_str());
  if (!WriteWholeFile(currentPath, "")) return SetListing::ListFailed;
  SetListing result = SetListing::Matches;
  if (!WriteList(folder, currentPath, options))
    result = SetListing::ListFailed;
  else if (!CompareLists(referencePath, currentPath, system).accepted)
    result = SetListing::Differs;
  ::unlink(currentPath.c_str());
  return result;
}

const char* AnchorOf(SetKind kind) {
  switch (kind) {
    case SetKind::Resources: return kResourcesAnchor;
    case SetKind::Gps: return kGpsAnchor;
    case SetKind::Backup: return kBackupAnchor;
  }
  return kResourcesAnchor;
}

std::optional<std::string> StationNameInSet(const std::string& path, SetKind kind) {
  const char* setName = kind == SetKind::Resources ? kResourcesFolderName
                        : kind == SetKind::Gps     ? kGpsFolderName
                                                   : kBackupFolderName;
  std::vector<std::string> parts;
  for (size_t i = 0; i <= path.size();) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    if (j > i) parts.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  size_t at = parts.size();
  for (size_t k = parts.size(); k-- > 0;)
    if (EqualsNoCase(parts[k], setName)) {
      at = k;
      break;
    }
  if (at == parts.size()) return std::nullopt;
  std::string name = std::string("\\") + setName;
  for (size_t k = at + 1; k < parts.size(); ++k) {
    bool quilmap = kind == SetKind::Gps && k == at + 1 && EqualsNoCase(parts[k], kQuilmapFolderName);
    name += "\\" + (quilmap ? std::string(kQuilmapFolderName) : parts[k]);
  }
  return name;
}

}  // namespace flashery
