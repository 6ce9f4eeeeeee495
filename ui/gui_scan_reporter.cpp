#include "ui/gui_scan_reporter.h"

namespace flashery {

void GuiScanReporter::Post(std::function<void()> f) {
  QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void GuiScanReporter::ShowStatus(ScanSet set, const ScanText& text) {
  Post([this, set, text] {
    if (onStatus) onStatus(set, text);
  });
}

void GuiScanReporter::CheckEnded(ScanSet set, bool ok) {
  Post([this, set, ok] {
    if (onEnded) onEnded(set, ok);
  });
}

}  // namespace flashery
