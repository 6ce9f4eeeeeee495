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
// lists list a folder's entries in the same file-system order. Blocks are
// matched by header, so folders may come in another order; two blocks of
// the same header (two folders of one name) may be matched either way
// round, since nothing in such lists tells them apart.
//
// A reference block is matched by an unused current block of the same
// header that holds every one of its entries (case aside, as often as the
// reference holds it); the current block may hold more. The first block in
// reference order that finds none fails, at its header when no current
// block of that header is left, otherwise at its first entry that the first
// such current block lacks. That entry differs when that block holds no
// equal line but an entry of the same name (exactly) and the same number
// of fields, else it is missing. Records that are neither header nor entry
// (no ';') and empty records take no part.
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
