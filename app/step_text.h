// What counts as a new step of a port in the unattended mode's live
// output: a status text whose shape (the text with every run of digits
// and the spacing around it folded) differs from the port's last one. A
// progress message repeated for every block with a new percentage is one
// step, not four thousand.
#pragma once

#include <string>
#include <string_view>

namespace flashery {

std::string StepShape(std::string_view statusText);
// The status text as one display line: line ends dropped, blanks trimmed.
std::string DisplayLine(std::string_view statusText);

}  // namespace flashery
