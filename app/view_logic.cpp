#include "app/view_logic.h"

#include <algorithm>
#include <cstdio>

#include "engine/job_plan.h"

namespace flashery {

uint32_t PanelColorRef(PanelLook look) {
  switch (look) {
    case PanelLook::NoHandset: return 0xC8C8C8;
    case PanelLook::Bound: return 0x3C96C8;
    case PanelLook::Running: return 0xF0B050;  // sky blue: unlike "bound" at a glance
    case PanelLook::Succeeded: return 0x00FA00;
    case PanelLook::Failed: return 0x0000FA;
  }
  return 0xC8C8C8;
}

Rgb RgbOfColorRef(uint32_t c) {
  return Rgb{static_cast<uint8_t>(c & 0xFF), static_cast<uint8_t>((c >> 8) & 0xFF),
             static_cast<uint8_t>((c >> 16) & 0xFF)};
}

std::string PortName(int port) { return "port " + std::to_string(port + 1); }

StartVerdict DecideStartPort(bool anythingReady, const PortSnapshot& port, bool writesSomething) {
  if (!anythingReady) return StartVerdict::AskToConfigure;
  if (!port.bound) return StartVerdict::NoHandset;
  if (port.running) return StartVerdict::AlreadyRunning;
  if (!writesSomething) return StartVerdict::NothingToWrite;
  return StartVerdict::Start;
}

StartAllPlan PlanStartAll(bool anythingReady, const std::array<PortSnapshot, kPanelCount>& ports,
                          bool writesSomething) {
  StartAllPlan plan;
  if (!anythingReady) {
    plan.verdict = StartVerdict::AskToConfigure;
    return plan;
  }
  if (!writesSomething) {
    plan.verdict = StartVerdict::NothingToWrite;
    return plan;
  }
  bool anyBound = false;
  for (int p = 0; p < kPanelCount; ++p) {
    if (!ports[p].bound) continue;
    anyBound = true;
    if (!ports[p].running && !ports[p].finished) plan.ports.push_back(p);
  }
  if (!anyBound) plan.verdict = StartVerdict::NoHandset;
  else if (plan.ports.empty()) plan.verdict = StartVerdict::NothingFree;
  else plan.verdict = StartVerdict::Start;
  return plan;
}

ButtonStates ButtonsAfterStart(ButtonStates b, int port) {
  if (port >= 0 && port < kPanelCount) {
    b.port[port] = false;
    b.stop[port] = true;
  }
  b.startAll = false;
  return b;
}

ButtonStates ButtonsAfterJobEnded(ButtonStates b, int port) {
  if (port >= 0 && port < kPanelCount) {
    b.port[port] = true;
    b.stop[port] = false;
  }
  b.startAll = true;
  return b;
}

std::optional<PanelChange> PanelChangeForMonitor(bool connected, const std::string& serialShown,
                                                 const std::string& instanceId, bool showsResult) {
  if (connected) {
    if (showsResult && serialShown == instanceId) return std::nullopt;
    return PanelChange{PanelLook::Bound, instanceId, 40};
  }
  if (serialShown.empty() || showsResult) return std::nullopt;
  return PanelChange{PanelLook::NoHandset, "", 39};
}

PanelLook LookAfterJob(bool ok) { return ok ? PanelLook::Succeeded : PanelLook::Failed; }

PanelLook LookAfterJob(JobResult result) { return LookAfterJob(result == JobResult::Ok); }

std::string StatusAfterJob(const JobEnd& end, const std::string& lastStatus) {
  return end.result == JobResult::Ok || end.reason.empty() ? lastStatus : end.reason;
}

std::string LiveDetailText(const PortLive& live, uint64_t nowMs, const std::string& tookLabel) {
  if (!live.started) return {};
  uint64_t end = live.running ? nowMs : live.endMs;
  uint64_t ms = end > live.startMs ? end - live.startMs : 0;
  std::string elapsed = FormatElapsed(static_cast<int64_t>(ms / 1000));
  if (!live.running) return tookLabel + " " + elapsed;
  std::string text = elapsed;
  if (live.plannedBytes > 0) {
    uint64_t percent = std::min<uint64_t>(100, live.bytes * 100 / live.plannedBytes);
    text += "  " + std::to_string(percent) + "%";
  }
  double mbps = ms > 0 ? static_cast<double>(live.bytes) / 1e6 / (static_cast<double>(ms) / 1000.0) : 0.0;
  char rate[32];
  std::snprintf(rate, sizeof rate, "  %.1f MB/s", mbps);
  text += rate;
  if (!live.item.empty()) text += "  " + live.item;
  return text;
}

std::string QtLocaleOfLanguage(int languageId) {
  switch (languageId) {
    case 2052: return "zh_CN";
    case 1028:
    case 3076: return "zh_TW";
    default: return "";
  }
}

std::string MainWindowTitle(UserRole role) {
  return std::string("Operator: ") +
         (role == UserRole::Operator ? "Standard user    Version：" : "Administrator     Version：") +
         "Flashery v1.10.00";
}

}  // namespace flashery
