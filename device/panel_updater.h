// PanelUpdater: how the device monitor shows a port's panel as bound
// (a handset is connected) or empty. Called from the monitor's thread; the
// window front end carries the change over to its GUI thread.
#pragma once

namespace flashery {

class PanelUpdater {
 public:
  virtual ~PanelUpdater() = default;
  virtual void UpdatePortPanel(int port, bool connected) = 0;
};

}  // namespace flashery
