// GuiScanReporter: the ScanReporter seam of the download file dialog. The
// configuration checks call it on their worker threads; each call is
// posted to the GUI thread and applied there (a status line is no handshake,
// so the worker does not wait). Post() carries a worker's own end over the
// same way. Posts still pending when the reporter is destroyed are dropped,
// so the dialog destroys it only after its workers have ended.
#pragma once

#include <QObject>
#include <functional>

#include "filesets/scan_reporter.h"

namespace flashery {

class GuiScanReporter : public QObject, public ScanReporter {
  Q_OBJECT
 public:
  std::function<void(ScanSet, const ScanText&)> onStatus;
  std::function<void(ScanSet, bool)> onEnded;

  void CheckStarted(ScanSet) override {}
  void ShowStatus(ScanSet set, const ScanText& text) override;
  void CheckEnded(ScanSet set, bool ok) override;
  // Runs `f` on the GUI thread (later, also when called there).
  void Post(std::function<void()> f);
};

}  // namespace flashery
