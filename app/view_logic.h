// The port panels view's decisions, without widgets: the panel colours,
// whether a start button may start its port, which ports start-all starts,
// which buttons are enabled, what the monitor's panel updates change, and
// the main window's title.
//
// Start-all starts every port that has a handset bound, no job running and
// no finished job on that same handset, lowest port first. (Starting "the
// first connectedCount ports" would start an unbound port — and leave a
// bound one idle — once a handset in the middle was unplugged, could give a
// running port a second job, and would download again to a handset that
// was just written and is still plugged in; its own start button still
// does that when the operator wants it.)
//
// Buttons: a port's button is disabled from its start until its job has
// ended; start-all is disabled by any start and enabled again by any job's
// end (it then starts only the ports that are free).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"

namespace flashery {

constexpr int kPanelCount = 8;

// Panel colours as the platform's 0x00BBGGRR values.
enum class PanelLook { NoHandset, Bound, Running, Succeeded, Failed };
uint32_t PanelColorRef(PanelLook look);
struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  bool operator==(const Rgb&) const = default;
};
Rgb RgbOfColorRef(uint32_t colorRef);

// "port 1" ... "port 8" for 0 ... 7.
std::string PortName(int port);

struct PortSnapshot {
  bool bound = false;     // a handset is bound (instanceId not empty)
  bool running = false;   // a job runs on the port
  bool finished = false;  // the last job on this handset has ended
};

enum class StartVerdict {
  Start,           // start the job(s)
  AskToConfigure,  // nothing ready: text 119, then the download file dialog
  NoHandset,       // the port's name + text 39 (start-all: text 39 alone)
  AlreadyRunning,  // the port's job still runs: nothing happens
  NothingFree,     // start-all: every bound port runs or has finished
};

StartVerdict DecideStartPort(bool anythingReady, const PortSnapshot& port);

struct StartAllPlan {
  StartVerdict verdict = StartVerdict::NoHandset;
  std::vector<int> ports;  // when verdict is Start
};
StartAllPlan PlanStartAll(bool anythingReady, const std::array<PortSnapshot, kPanelCount>& ports);

struct ButtonStates {
  std::array<bool, kPanelCount> port{true, true, true, true, true, true, true, true};
  bool startAll = true;
};
ButtonStates ButtonsAfterStart(ButtonStates b, int port);
ButtonStates ButtonsAfterJobEnded(ButtonStates b, int port);

// What the device monitor's update of a panel changes. serialShown: the
// serial the panel shows now; instanceId: the port's handset (when
// connected). An unbound panel that is empty already is left alone.
struct PanelChange {
  PanelLook look = PanelLook::NoHandset;
  std::string serial;
  int statusTextId = 39;
};
std::optional<PanelChange> PanelChangeForMonitor(bool connected, const std::string& serialShown,
                                                 const std::string& instanceId);

// The result of a job: the look and whether the progress bar goes to 0.
PanelLook LookAfterJob(bool ok);

// "Operator: Standard user    Version：Flashery v1.10.00" and the
// administrator's equivalent.
std::string MainWindowTitle(UserRole role);

}  // namespace flashery
