#include "app/view_logic.h"

namespace flashery {

uint32_t PanelColorRef(PanelLook look) {
  switch (look) {
    case PanelLook::NoHandset: return 0xC8C8C8;
    case PanelLook::Bound: return 0x3C96C8;
    case PanelLook::Running: return 0x4094C8;
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

StartVerdict DecideStartPort(bool anythingReady, const PortSnapshot& port) {
  if (!anythingReady) return StartVerdict::AskToConfigure;
  if (!port.bound) return StartVerdict::NoHandset;
  if (port.running) return StartVerdict::AlreadyRunning;
  return StartVerdict::Start;
}

StartAllPlan PlanStartAll(bool anythingReady, const std::array<PortSnapshot, kPanelCount>& ports) {
  StartAllPlan plan;
  if (!anythingReady) {
    plan.verdict = StartVerdict::AskToConfigure;
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
  if (port >= 0 && port < kPanelCount) b.port[port] = false;
  b.startAll = false;
  return b;
}

ButtonStates ButtonsAfterJobEnded(ButtonStates b, int port) {
  if (port >= 0 && port < kPanelCount) b.port[port] = true;
  b.startAll = true;
  return b;
}

std::optional<PanelChange> PanelChangeForMonitor(bool connected, const std::string& serialShown,
                                                 const std::string& instanceId) {
  if (connected) return PanelChange{PanelLook::Bound, instanceId, 40};
  if (serialShown.empty()) return std::nullopt;
  return PanelChange{PanelLook::NoHandset, "", 39};
}

PanelLook LookAfterJob(bool ok) { return ok ? PanelLook::Succeeded : PanelLook::Failed; }

std::string MainWindowTitle(UserRole role) {
  return std::string("Operator: ") +
         (role == UserRole::Operator ? "Standard user    Version：" : "Administrator     Version：") +
         "Flashery v1.10.00";
}

}  // namespace flashery
