// The probe of a reference list before a set is listed: which kind of
// current list to make. The list is read whole, decoded from its code page
// (UTF-8 when it begins with a byte order mark, else the station's code
// page) and searched in lower case (ASCII letters folded). A list that is
// not valid in its encoding is not read at all: ok stays false and
// undecodable says why.
#pragma once

#include <string>

#include "platform/codepage.h"

namespace flashery {

struct ListProbe {
  bool ok = false;         // the list could be read
  bool undecodable = false;  // it was read but is not valid in its encoding
  bool noThumbs = false;   // it does not mention "thumbs.db"
  bool hasChecks = false;  // it holds check values ("byte;0x")
  bool hasMarker = false;  // it holds the set's marker (relative naming)
  Codepage codepage = Codepage::Gbk;  // its encoding, for the current list
};

// marker: given in lower case, e.g. kGpsMarker.
ListProbe ExamineList(const std::string& listPath, const std::string& marker, Codepage system = Codepage::Gbk);

}  // namespace flashery
