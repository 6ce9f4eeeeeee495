#include "ui/gui_port_view.h"

#include <QThread>

#include "ui/port_panels_view.h"

namespace flashery {

GuiPortView::GuiPortView(PortPanelsView* view) : view_(view) {}

void GuiPortView::Apply(std::function<void(PortPanelsView&)> change) {
  if (closed_.load()) return;
  auto onGui = [this, change = std::move(change)] {
    if (!closed_.load() && view_ != nullptr) change(*view_);
  };
  if (QThread::currentThread() == thread()) {
    onGui();
    return;
  }
  QMetaObject::invokeMethod(this, onGui, Qt::BlockingQueuedConnection);
}

void GuiPortView::SetStatusText(int port, const std::string& text) {
  Apply([port, text](PortPanelsView& v) { v.ShowStatusText(port, text); });
}

void GuiPortView::SetProgress(int port, uint32_t position) {
  Apply([port, position](PortPanelsView& v) { v.ShowProgress(port, position); });
}

void GuiPortView::JobEnded(int port, bool ok) {
  Apply([port, ok](PortPanelsView& v) { v.OnJobEnded(port, ok); });
}

void GuiPortView::UpdatePortPanel(int port, bool connected) {
  Apply([port, connected](PortPanelsView& v) { v.UpdatePortPanel(port, connected); });
}

void GuiPortView::Close() {
  closed_.store(true);
  view_ = nullptr;
}

}  // namespace flashery
