// Comparing a current list with a reference list.
//
// CompareFiles settles the usual case - an unchanged folder gives a
// byte-identical list - without parsing. Otherwise the lists are read line
// by line (text mode, records of at most 259 bytes in the system code page,
// each list decoded from its own code page) and compared without regard to
// case. While the lists agree they are read in step. Once they differ:
//   - every folder header and file entry of the reference list must be in
//     the current list, each entry within its folder (list_folders.h): the
//     current list may hold extra entries and folders and list its folders
//     in another order, but an entry found only in another folder, or
//     found in its folder with another size or check value, fails - also
//     when the same name stands in another folder with that size and
//     check, as when two files of one name in two folders swap sizes;
//   - any other non-empty line (no ';') must stand where the lists first
//     differed, which it cannot: the comparison fails;
//   - empty lines of the reference list are not entries: while the lists
//     agree one is read in step with an empty line of the current list,
//     otherwise it is skipped.
// The first failing reference line is reported: an entry found in its
// folder with another size or check value as differing, any other as
// missing. Lists are compared as whole records, never from a byte offset
// of the other list.
#pragma once

#include <cstddef>
#include <string>

#include "platform/codepage.h"

namespace flashery {

enum class FileComparison : int { Equal = 0, CannotOpen = 1, SizesDiffer = 2, ReadFailed = 3, ContentsDiffer = 4 };

// Reads both files in pieces of at most 65,535 bytes.
FileComparison CompareFiles(const std::string& pathA, const std::string& pathB);

enum class ListVerdict {
  Identical,     // byte for byte
  Accepted,      // every reference line found
  Unreadable,    // a list is missing, empty path, unreadable or too large
  Missing,       // a reference entry or header is not in the current list
  Differs,       // a reference entry's name is there with another size or check
  Misplaced,     // a reference line that is neither header nor entry, out of step
};

struct ListComparison {
  bool accepted = false;
  ListVerdict verdict = ListVerdict::Unreadable;
  size_t referenceLine = 0;  // 1-based record of the reference list that failed
  std::string referenceText; // that record (UTF-8)
  std::string currentText;   // for Differs: the current entry of the same name
};

// Lists larger than this are refused as unreadable.
inline constexpr size_t kMaxListBytes = 256u << 20;

ListComparison CompareLists(const std::string& referenceList, const std::string& currentList,
                            Codepage system = Codepage::Gbk);

const char* ListVerdictName(ListVerdict v);

}  // namespace flashery
