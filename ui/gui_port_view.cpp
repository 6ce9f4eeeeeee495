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

void GuiPortView::OnJobStarted(const JobStart& start) {
  Apply([start](PortPanelsView& v) { v.NoteJobStarted(start); });
}

void GuiPortView::OnStep(int port, JobStep step, const std::string& item) {
  Apply([port, step, item](PortPanelsView& v) { v.NoteStep(port, step, item); });
}

void GuiPortView::OnBytes(int port, uint64_t totalBytes) {
  Apply([port, totalBytes](PortPanelsView& v) { v.NoteBytes(port, totalBytes); });
}

void GuiPortView::OnItem(int port, const std::string& name) {
  Apply([port, name](PortPanelsView& v) { v.NoteItem(port, name); });
}

void GuiPortView::OnJobEnded(const JobEnd& end) {
  Apply([end](PortPanelsView& v) { v.NoteJobEnd(end); });
}

void GuiPortView::Close() {
  call_.Close();
  view_ = nullptr;
}

}  // namespace flashery
