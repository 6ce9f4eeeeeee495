// GuiPortView: the PortView and PanelUpdater seams on the window side, and
// the window's JobListener (live detail and the end of each job).
// Port jobs and the device monitor call it on their own threads; each call
// is carried out on the GUI thread and returns once the view has applied
// it (GuiCall). A call made on the GUI thread itself is applied directly.
//
// Close() (GUI thread, also done by the destructor) detaches the view:
// callers waiting for the GUI thread return at once and later calls touch
// no widget, so the window can join the workers while they still report.
// A view destroyed before Close() is never touched either. The object must
// outlive every worker that holds it: its owner joins the workers first.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

#include "device/panel_updater.h"
#include "text/job_listener.h"
#include "text/port_view.h"
#include "ui/gui_call.h"
#include "ui/port_panels_view.h"

namespace flashery {

class GuiPortView : public QObject, public PortView, public PanelUpdater, public JobListener {
  Q_OBJECT
 public:
  explicit GuiPortView(PortPanelsView* view);
  ~GuiPortView() override;

  void SetStatusText(int port, const std::string& text) override;
  void SetProgress(int port, uint32_t position) override;
  void JobEnded(int port, bool ok) override;
  void UpdatePortPanel(int port, bool connected) override;
  void OnJobStarted(const JobStart& start) override;
  void OnStep(int port, JobStep step, const std::string& item) override;
  void OnBytes(int port, uint64_t totalBytes) override;
  void OnItem(int port, const std::string& name) override;
  void OnJobEnded(const JobEnd& end) override;

  void Close();
  bool closed() const { return call_.closed(); }

 private:
  void Apply(std::function<void(PortPanelsView&)> change);

  QPointer<PortPanelsView> view_;
  GuiCall call_{this};
};

}  // namespace flashery
