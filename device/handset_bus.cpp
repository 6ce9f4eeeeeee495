#include "device/handset_bus.h"

namespace flashery {

std::optional<std::string> HandsetBus::Resolve(const std::string& interfacePath) {
  for (const BusEntry& e : List())
    if (e.interfacePath == interfacePath) return e.openPath;
  return std::nullopt;
}

}  // namespace flashery
