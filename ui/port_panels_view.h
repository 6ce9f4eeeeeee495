// The main form: eight port panels (ports 1-4 on the left, 5-8 on the
// right), the start-all button and the file info list. The operator starts
// one port or all ports; each started port runs its job on a thread of its
// own, which reports back through the PortView seam (GuiPortView carries
// the calls over to this widget on the GUI thread). The device monitor
// shows bound and empty panels through the PanelUpdater seam the same way.
//
// The job events (GuiPortView hears them as a JobListener) feed each
// panel's live detail and its ending: a finished panel keeps its result —
// the large PASS / FAIL word, green, or red with the reason that decided
// the failure or the stop — until the port is started again or another
// handset is bound to it (view_logic.h). A port's stop button ends that
// port's job alone at its next command. A failure sounds the system beep
// unless [Station] failureSound=0.
//
// With auto-start on ([Station] autoStart=1) a timer applies the rule of
// device/auto_start.h every 200 ms once anything is ready: a handset newly
// bound to an idle port starts its job as the port's button would, for any
// role; a finished unit starts again only after it has left the bus.
//
// Every handler here runs on the GUI thread and never waits for a job or
// the monitor. The start rules, colours and list rows are the pure
// functions of app/view_logic.h and app/file_info_rows.h.
#pragma once

#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/application.h"
#include "app/file_info_rows.h"
#include "app/shift_counts.h"
#include "app/port_job_runner.h"
#include "app/view_logic.h"
#include "device/auto_start.h"
#include "device/port_record.h"
#include "text/job_listener.h"
#include "ui/port_panel.h"

namespace flashery {

class PortPanelsView : public QWidget {
  Q_OBJECT
 public:
  PortPanelsView(Application& app, PortRecordTable& records, PortJobRunner& jobs, QWidget* parent = nullptr);

  // What the file info list shows of the open package.
  std::function<PackageFacts()> packageFacts;
  // Opens the download file dialog modally; true when it ended with OK.
  // Unset: configuration is not available in this window.
  std::function<bool()> openDownloadConfig;
  // Called once, when the view is first shown (starts the device monitor).
  std::function<void()> onFirstShown;
  // Whether a start would write anything to a handset (unset: yes).
  std::function<bool()> writesSomething;
  // The shift counts, and today's when the history store supplies them
  // (unset: none shown); the administrator's reset.
  std::function<ShiftCounts()> shiftCounts;
  std::function<std::optional<ShiftCounts>()> todayCounts;
  std::function<void()> resetShiftCounts;
  void ShowCounts();
  QPushButton* resetCountsButton() const { return resetCounts_; }
  QLabel* countsLine() const { return countsLine_; }

  // The PortView and PanelUpdater targets (GUI thread).
  void ShowStatusText(int port, const std::string& text);
  void ShowProgress(int port, uint32_t position);
  void OnJobEnded(int port, bool ok);
  void UpdatePortPanel(int port, bool connected);
  // The job events (GUI thread), before the PortView's JobEnded.
  void NoteJobStarted(const JobStart& start);
  void NoteStep(int port, JobStep step, const std::string& item);
  void NoteBytes(int port, uint64_t totalBytes);
  void NoteItem(int port, const std::string& name);
  void NoteJobEnd(const JobEnd& end);

  void OnStartPort(int port);
  void OnStopPort(int port);
  void OnStartAll();
  void OnDownloadConfig();
  bool RefreshFileInfo();
  // Retitles the form from the active language file (after a switch).
  void Retitle();

  PortPanel* panel(int port) const { return panels_[static_cast<size_t>(port & 7)]; }
  QPushButton* startAllButton() const { return startAll_; }
  QTableWidget* fileInfoList() const { return fileInfo_; }
  bool initialised() const { return initialised_; }
  void SetAutoStart(bool on);
  bool autoStart() const { return autoStartTimer_ != nullptr; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void InitialUpdate();
  bool AnythingReady() const;
  PortSnapshot Snapshot(int port) const;
  // Marks the record running and starts the job; false when the port could
  // not be started.
  bool StartPort(int port);
  void ApplyButtons();
  void AskToConfigure();
  void ShowDetail(int port);
  void AutoStartTick();
  void ShowResultWord(int port);

  Application& app_;
  PortRecordTable& records_;
  PortJobRunner& jobs_;
  std::array<PortPanel*, 8> panels_{};
  QPushButton* startAll_;
  QPushButton* resetCounts_;
  QLabel* countsLine_;
  QTableWidget* fileInfo_;
  ButtonStates buttons_;
  bool initialised_ = false;
  QTimer* autoStartTimer_ = nullptr;
  AutoStartState autoStartState_;
  std::array<std::string, 8> startedIds_;  // the handset each port's last job started on
  std::array<PortLive, 8> live_{};
  std::array<std::optional<JobEnd>, 8> ends_{};  // the last job's end while its result shows
  QTimer* tick_;  // redraws the running ports' elapsed times
};

}  // namespace flashery
