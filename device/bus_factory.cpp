#include "device/bus_factory.h"

#include "device/sim_bus.h"
#include "device/sysfs_bus.h"

namespace flashery {

BusChoice ChooseBus(const std::string& simOption, const char* busEnv) {
  BusChoice c;
  if (!simOption.empty()) {
    c.kind = BusKind::kSim;
    c.simDir = simOption;
    return c;
  }
  std::string env = busEnv ? busEnv : "";
  if (env.empty() || env == "sysfs") return c;
  if (env.rfind("sim:", 0) == 0 && env.size() > 4) {
    c.kind = BusKind::kSim;
    c.simDir = env.substr(4);
    return c;
  }
  c.ok = false;
  c.error = "FLASHERY_BUS must be \"sysfs\" or \"sim:DIR\", not \"" + env + "\"";
  return c;
}

std::unique_ptr<HandsetBus> MakeHandsetBus(const BusChoice& choice, double timeScale,
                                           const std::string& sysfsRoot,
                                           const std::string& devRoot) {
  if (!choice.ok) return nullptr;
  if (choice.kind == BusKind::kSim) return std::make_unique<SimBus>(choice.simDir, timeScale);
  return std::make_unique<SysfsBus>(sysfsRoot, devRoot);
}

}  // namespace flashery
