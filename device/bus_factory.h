// Which handset bus the station uses. An explicit simulator folder (the
// --sim DIR option) wins; otherwise FLASHERY_BUS decides: "sim:DIR" for the
// simulator, "sysfs" (or unset, or empty) for real handsets. Any other
// value is refused, so a mistyped setting never silently drives real
// hardware; the caller reports `error`.
#pragma once

#include <memory>
#include <string>

#include "device/handset_bus.h"

namespace flashery {

enum class BusKind { kSysfs, kSim };

struct BusChoice {
  BusKind kind = BusKind::kSysfs;
  std::string simDir;  // for kSim
  bool ok = true;
  std::string error;   // when !ok
};

// simOption: the --sim value ("" when not given); busEnv: FLASHERY_BUS
// (null when unset).
BusChoice ChooseBus(const std::string& simOption, const char* busEnv);

// The bus of a valid choice (null for an invalid one). sysfsRoot/devRoot
// are those of the real system unless a test gives others.
std::unique_ptr<HandsetBus> MakeHandsetBus(const BusChoice& choice, double timeScale = 0,
                                           const std::string& sysfsRoot = "/sys",
                                           const std::string& devRoot = "/dev");

}  // namespace flashery
