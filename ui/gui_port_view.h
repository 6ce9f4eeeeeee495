// GuiPortView: the PortView and PanelUpdater seams on the window side.
// Port jobs and the device monitor call it on their own threads; each call
// is carried out on the GUI thread and returns once the view has applied
// it (a blocking queued call). A call made on the GUI thread itself is
// applied directly, since a blocking queued call to one's own thread would
// never return.
//
// Close() (GUI thread) detaches the view: later calls return at once
// without touching any widget, so the window can wait for the workers to
// stop while they still report. The object itself must outlive every
// worker that holds it.
#pragma once

#include <QObject>
#include <atomic>
#include <functional>

#include "device/panel_updater.h"
#include "text/port_view.h"

namespace flashery {

class PortPanelsView;

class GuiPortView : public QObject, public PortView, public PanelUpdater {
  Q_OBJECT
 public:
  explicit GuiPortView(PortPanelsView* view);

  void SetStatusText(int port, const std::string& text) override;
  void SetProgress(int port, uint32_t position) override;
  void JobEnded(int port, bool ok) override;
  void UpdatePortPanel(int port, bool connected) override;

  void Close();
  bool closed() const { return closed_.load(); }

 private:
  void Apply(std::function<void(PortPanelsView&)> change);

  PortPanelsView* view_;
  std::atomic<bool> closed_{false};
};

}  // namespace flashery
