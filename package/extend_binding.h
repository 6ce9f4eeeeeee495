// BindExtendSections: gives every Extend section that is to be written the
// code configured for its name.
//
// Runs after OpenPackage and after application staging (which clears the
// present flag of every Extend slot holding an application archive). For
// each slot whose present flag is 1, its name is compared exactly (case
// matters) with the configured names 1..7 in order; the first equal one
// gives the slot its fileCode. A present slot whose name is empty or not
// configured makes the binding fail with text 104 in errorText; a slot that
// is not present keeps fileCode 0. An image is therefore never written under
// a code nobody configured.
#pragma once

#include <string>

#include "package/qfm_package.h"

namespace flashery {

class TextTable;

bool BindExtendSections(QfmPackage& package, std::string& errorText, const TextTable& texts);

}  // namespace flashery
