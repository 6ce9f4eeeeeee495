// StationWindow: the window mode put together — the window station
// (records, handset bus, device monitor, port jobs) below the main frame
// with its port panels, and the seams between them: the jobs and the
// monitor report through a GuiPortView, the frame's close stops the monitor
// and the jobs on its closing thread and then closes the seams and the
// prompter.
//
// Teardown: the destructor closes the seams and the prompter (no worker
// waits for the GUI thread any more), stops and joins every worker at its
// next command boundary, and only then are the seams, the frame and its
// views destroyed; so no job or monitor report can reach a destroyed
// widget. After a completed close (closedForGood) there is nothing left to
// stop; the wait happens only when the window goes away some other way.
#pragma once

#include <memory>

#include "app/application.h"
#include "app/shift_counts.h"
#include "app/window_station.h"
#include "device/handset_bus.h"
#include "ui/gui_port_view.h"
#include "ui/gui_prompter.h"
#include "ui/main_frame.h"

namespace flashery {

class StationWindow {
 public:
  // prompter: the application's prompter when it is a GuiPrompter (its
  // boxes then belong to the frame), else null.
  StationWindow(Application& app, std::unique_ptr<HandsetBus> bus, GuiPrompter* prompter);
  ~StationWindow();
  StationWindow(const StationWindow&) = delete;
  StationWindow& operator=(const StationWindow&) = delete;

  WindowStation& station() { return station_; }
  MainFrame& frame() { return frame_; }
  PortPanelsView& view() { return *frame_.view(); }
  // The units counted since the station started (the history store can
  // supply today's through counts().today).
  ShiftCounter& counts() { return counts_; }

 private:
  GuiPrompter* prompter_;
  WindowStation station_;
  MainFrame frame_;
  GuiPortView seams_;
  ShiftCounter counts_;
};

}  // namespace flashery
