#include "filesets/set_listing.h"

#include <unistd.h>

#include "filesets/list_compare.h"
#include "platform/files.h"

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

}  // namespace flashery
