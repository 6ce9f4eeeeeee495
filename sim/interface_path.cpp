#include "sim/handset_config.h"

namespace flashery::sim {

namespace {
std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}
}  // namespace

std::string InterfacePath(const std::string& vendor, const std::string& model,
                          const std::string& revision, const std::string& serial) {
  return "\\\\?\\usbstor#disk&ven_" + Lower(vendor) + "&prod_quillon_" + Lower(model) + "&rev_" +
         Lower(revision) + "#" + serial + "&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
}

}  // namespace flashery::sim
