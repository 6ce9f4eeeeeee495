#include "ui/gui_port_view.h"

namespace flashery {

GuiPortView::GuiPortView(PortPanelsView* view) : view_(view) {}

GuiPortView::~GuiPortView() { Close(); }

void GuiPortView::Apply(std::function<void(PortPanelsView&)> change) {
  call_.Run([this, change = std::move(change)] {
    if (view_) change(*view_);
  });
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
  call_.Close();
  view_ = nullptr;
}

}  // namespace flashery
