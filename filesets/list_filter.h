// ListFilter: what a listing leaves out. Up to six folder names and six
// file names of at most 31 bytes, compared without regard to case at every
// depth of the listing. A left-out file named "Thumbs.db" or "ehThumbs.db"
// (the original platform's thumbnail caches) is also deleted from the disk
// when removeThumbnails is set, so it is never copied to a handset.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace flashery {

struct ListFilter {
  static constexpr size_t kMaxNames = 6;
  static constexpr size_t kMaxNameBytes = 31;

  bool enabled = false;
  bool removeThumbnails = true;
  std::vector<std::string> folderNames;
  std::vector<std::string> fileNames;

  // False when the table is full or the name empty or too long.
  bool AddFolder(std::string name);
  bool AddFile(std::string name);

  bool ExcludesFolder(std::string_view name) const;
  bool ExcludesFile(std::string_view name) const;
};

// "Thumbs.db" or "ehThumbs.db" in any case.
bool IsThumbnailCache(std::string_view name);

// The filter of a set's scan: its reference and current list are always left
// out; the thumbnail caches too when the reference list does not mention
// "thumbs.db" (noThumbs).
ListFilter SetListFilter(const std::string& referenceName, const std::string& currentName, bool noThumbs);

}  // namespace flashery
