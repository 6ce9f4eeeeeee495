// Matching the entries of a reference list with those of a current list,
// each within the folder it belongs to.
//
// The folder of an entry is told by the list itself. A list that names its
// entries by their path below the set's anchor (any entry or header holds a
// '\') carries the folder in every name, so all its records form one group.
// A list of own names carries it only in its layout: an entry belongs to the
// block it stands in, opened by the last header before it (entries before
// the first header are the set's own folder). Entries of an enclosing folder
// that the listing reaches after a subfolder follow that subfolder's block
// without a header of their own; they are taken as that block's, as both
// lists list a folder's entries in the same file-system order. Folders
// may come in another order. Folders of one name (two blocks of the same
// header) are one folder here: nothing in such lists tells them apart.
//
// Every header and entry of the reference list must be in the current list
// (case aside) as often as the reference holds it, each entry within its
// folder; the current list may hold more. The first reference record that
// is not found fails. An entry differs when its folder holds no equal line
// but an entry of the same name (exactly) and the same number of fields,
// else it is missing. Records that are neither header nor entry (no ';')
// and empty records take no part. Time and memory are linear in the lists.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace flashery {

struct FolderMatch {
  bool matched = true;
  size_t reference = 0;  // the failing reference record (index)
  bool differs = false;  // an entry of the same name is there with another size or check
  size_t current = 0;    // for differs: that entry's record
};

FolderMatch MatchWithinFolders(const std::vector<std::string>& reference, const std::vector<std::string>& current);

}  // namespace flashery
