#include "filesets/set_listing.h"

#include <unistd.h>

#include "filesets/fileset_layout.h"
#include "filesets/list_compare.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/station_texts.h"
#include "text/text_table.h"

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
                          const std::string& currentPath, const ListOptions& options, Codepage system,
                          ListRefusal* refused) {
  if (refused) *refused = {};
  if (PathExists(currentPath) && !IsDirectory(currentPath)) ::unlink(currentPath.c_str());
  if (!WriteWholeFile(currentPath, "")) return SetListing::ListFailed;
  SetListing result = SetListing::Matches;
  if (!WriteList(folder, currentPath, options, refused))
    result = SetListing::ListFailed;
  else if (!CompareLists(referencePath, currentPath, system).accepted)
    result = SetListing::Differs;
  ::unlink(currentPath.c_str());
  return result;
}

std::string RefusedNameDetail(const TextTable& texts, const ListRefusal& refused) {
  if (refused.name.empty()) return {};
  return " " + texts.Get(station_text::kNameNotListable) + ": " + refused.name + " (" + refused.reason + ")";
}

std::string UndecodableListDetail(const std::string& listPath, Codepage codepage) {
  return std::string(" ") + listPath + " (not valid " + (codepage == Codepage::Utf8 ? "UTF-8" : CodepageName(codepage)) +
         " text)";
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
