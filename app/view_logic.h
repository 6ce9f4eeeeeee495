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
// end (it then starts only the ports that are free). A port's stop button
// is enabled exactly while its job runs.
//
// A start whose selection writes nothing to the handset (no ready image,
// no ready file set) is refused with the station text "nothingToWrite".
//
// A finished panel keeps its result — green, or red with the reason that
// decided the failure or the stop — until the port is started again or
// another handset is bound to it: a handset that leaves after its job, or
// comes back with the same serial, does not grey it. Grey means that no job
// ran on the port since its handset was bound.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/application.h"
#include "text/job_listener.h"

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
  NothingToWrite,  // the selection writes nothing: station text "nothingToWrite"
};

StartVerdict DecideStartPort(bool anythingReady, const PortSnapshot& port, bool writesSomething = true);

struct StartAllPlan {
  StartVerdict verdict = StartVerdict::NoHandset;
  std::vector<int> ports;  // when verdict is Start
};
StartAllPlan PlanStartAll(bool anythingReady, const std::array<PortSnapshot, kPanelCount>& ports,
                          bool writesSomething = true);

struct ButtonStates {
  std::array<bool, kPanelCount> port{true, true, true, true, true, true, true, true};
  std::array<bool, kPanelCount> stop{};
  bool startAll = true;
};
ButtonStates ButtonsAfterStart(ButtonStates b, int port);
ButtonStates ButtonsAfterJobEnded(ButtonStates b, int port);

// What the device monitor's update of a panel changes. serialShown: the
// serial the panel shows now; instanceId: the port's handset (when
// connected); showsResult: the panel shows a finished job's result. An
// unbound panel that is empty already is left alone, and so is a result
// unless another handset is bound.
struct PanelChange {
  PanelLook look = PanelLook::NoHandset;
  std::string serial;
  int statusTextId = 39;
};
std::optional<PanelChange> PanelChangeForMonitor(bool connected, const std::string& serialShown,
                                                 const std::string& instanceId, bool showsResult = false);

// The result of a job: the look and whether the progress bar goes to 0.
PanelLook LookAfterJob(bool ok);
PanelLook LookAfterJob(JobResult result);
// The status line of a finished panel: the reason of a failure or a stop
// (the text that decided it); the last status text when it succeeded or
// when no reason was given.
std::string StatusAfterJob(const JobEnd& end, const std::string& lastStatus);

// A port's live detail, from its job's events: while the job runs the
// elapsed station time, the percent of the planned bytes, MB/s and what is
// being written ("00:01:05  43%  2.1 MB/s  system"); once it has ended the
// time the unit took after `tookLabel` ("Time 00:01:05"); nothing before
// the first job.
struct PortLive {
  bool started = false;
  bool running = false;
  uint64_t startMs = 0, endMs = 0;  // station clock
  uint64_t plannedBytes = 0, bytes = 0;
  std::string item;
};
std::string LiveDetailText(const PortLive& live, uint64_t nowMs, const std::string& tookLabel);

// The locale of Qt's own translations (buttons of message boxes, the folder
// picker) for a language id: "zh_CN" for 2052, "zh_TW" for 1028 and 3076,
// "" (Qt's own English) for any other.
std::string QtLocaleOfLanguage(int languageId);

// "Operator: Standard user    Version：Flashery v1.10.00" and the
// administrator's equivalent.
std::string MainWindowTitle(UserRole role);

}  // namespace flashery
