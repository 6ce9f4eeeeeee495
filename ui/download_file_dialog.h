// The download file dialog: the resource folder and what of it is written —
// the QFM package, the built-in resources and the GPS data. Ticking a part
// starts its check on a worker thread of its own; the part's status line
// counts the seconds (500 ms timer) while the check runs and takes the
// colour of its state (grey, orange, green, red). The dialog refuses to
// close while a check runs; OK stores the selection and saves the settings.
// Cancel undoes: the selection goes back to what it was when the dialog
// opened (folder, ticks, readiness), and a package a check accepted meanwhile
// is handed to the station only on OK.
//
// A worker reads only its own copies of the folder names and writes only
// its result object; the dialog applies the result on the GUI thread when
// the worker has ended (DownloadSelection and the dialog are never written
// by two threads), and hands an accepted package to the station, where
// jobs started afterwards take it — jobs already running keep their
// snapshots, and the dialog says so when jobs run. The decisions are those
// of app/download_dialog_model.h. The model and brand lines are hidden.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <array>
#include <functional>
#include <memory>
#include <thread>

#include "app/application.h"
#include "app/download_dialog_model.h"
#include "package/qfm_package.h"
#include "ui/gui_scan_reporter.h"

namespace flashery {

class DownloadFileDialog : public QDialog {
  Q_OBJECT
 public:
  using PublishPackage = std::function<void(std::shared_ptr<const QfmPackage>)>;
  DownloadFileDialog(Application& app, int runningJobs, PublishPackage publish, QWidget* parent = nullptr);
  ~DownloadFileDialog() override;

  // Asks for the resource folder; empty when cancelled. The default shows
  // the folder picker titled with text 118.
  std::function<std::string()> pickFolder;

  void ChooseFolder();
  QCheckBox* box(ConfigPart part) const { return boxes_[Index(part)]; }
  QLabel* statusLine(ConfigPart part) const { return lines_[Index(part)]; }
  QLineEdit* folderEdit() const { return folder_; }
  QPushButton* folderButton() const { return chooseFolder_; }
  QComboBox* formatList() const { return formats_; }
  QLabel* jobsNote() const { return jobsNote_; }
  const DownloadDialogModel& model() const { return model_; }

  void accept() override;
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  static size_t Index(ConfigPart p) { return static_cast<size_t>(p); }
  bool RefuseWhileChecking();
  void OnBox(ConfigPart part, bool ticked);
  void StartCheck(ConfigPart part);
  void Refresh();

  Application& app_;
  PublishPackage publish_;
  SelectionSnapshot opened_;
  bool packageChecked_ = false;  // a package check ended: pending_ goes to the station on OK
  std::shared_ptr<const QfmPackage> pending_;
  DownloadDialogModel model_;
  QLineEdit* folder_;
  QPushButton* chooseFolder_;
  std::array<QCheckBox*, kConfigParts> boxes_{};
  std::array<QLabel*, kConfigParts> lines_{};
  std::array<QTimer*, kConfigParts> timers_{};
  QLabel* brandLine_;
  QComboBox* models_;
  QComboBox* formats_;
  QLabel* jobsNote_;
  GuiScanReporter reporter_;
  std::array<std::jthread, kConfigParts> workers_;  // after reporter_: joined before it goes
};

}  // namespace flashery
