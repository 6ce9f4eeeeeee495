#include "app/step_text.h"

namespace flashery {

std::string StepShape(std::string_view s) {
  std::string out;
  bool inNumber = false;
  for (char c : s) {
    bool numeric = (c >= '0' && c <= '9') || ((c == '.' || c == ':') && inNumber);
    if (numeric) {
      if (!inNumber) out += '#';
      inNumber = true;
      continue;
    }
    inNumber = false;
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
    out += c;
  }
  return out;
}

std::string DisplayLine(std::string_view s) {
  std::string out;
  for (char c : s) out += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
  size_t b = out.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = out.find_last_not_of(' ');
  return out.substr(b, e - b + 1);
}

}  // namespace flashery
