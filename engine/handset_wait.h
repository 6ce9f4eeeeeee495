// The small waits on a handset that the procedures share: polling
// QueryState until the handset reports readiness, and probing it with
// CheckAlive until it answers. Every pause goes through the device's Clock.
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

class PortDevice;

enum class ReadyWait { kReady, kUnreachable, kTimedOut };

// Up to `polls` QueryState polls. A busy reply shows busyText followed by
// the poll number in `counterFormat` and pauses `pauseMs` (0: none); a
// failed command ends the wait at once.
ReadyWait WaitUntilReady(PortDevice& dev, int polls, uint32_t pauseMs, const std::string& busyText,
                         const char* counterFormat);

// Up to `probes` silent CheckAlive probes, `pauseMs` after each failure.
// The transport's error log, silenced while probing, is switched back on
// even when the handset never answered.
bool ProbeAlive(PortDevice& dev, int probes = 100, uint32_t pauseMs = 500);

}  // namespace flashery
