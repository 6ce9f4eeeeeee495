#include "engine/handset_wait.h"

#include "device/port_commands.h"
#include "platform/clock.h"

namespace flashery {

ReadyWait WaitUntilReady(PortDevice& dev, int polls, uint32_t pauseMs, const std::string& busyText,
                         const char* counterFormat) {
  for (int i = 0; i < polls; ++i) {
    bool reachable = false;
    if (QueryState(dev, reachable)) return ReadyWait::kReady;
    if (!reachable) return ReadyWait::kUnreachable;
    ShowStatusText(dev.out, busyText + FormatString(counterFormat, i));
    if (pauseMs) dev.clock().SleepMs(pauseMs);
  }
  return ReadyWait::kTimedOut;
}

bool ProbeAlive(PortDevice& dev, int probes, uint32_t pauseMs) {
  for (int i = 0; i < probes; ++i) {
    if (CheckAlive(dev, false)) return true;
    dev.clock().SleepMs(pauseMs);
  }
  dev.logTransportErrors = true;
  return false;
}

}  // namespace flashery
