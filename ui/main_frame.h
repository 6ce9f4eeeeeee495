// The main window: the menu bar (built from app/main_menu.h), the
// accelerators, the About box, the language commands and the form view
// with the port panels. Created maximised, titled with the operator's role;
// no toolbar, no status bar.
//
// Creating the frame builds the language menu from the installed language
// files, retitles the menu when a language other than simplified Chinese
// is selected, and loads the text table of the active language file. A
// language command activates that file, stores it as currentLang,
// retitles the menu and, once it has been shown, the form; texts of the
// text table change at the next start.
//
// Accelerators: Ctrl+O shows an open-file dialog (the station has no
// document, so the choice changes nothing); Ctrl+N, Ctrl+S and the edit
// and pane keys (Ctrl+Z, Alt+Backspace, Ctrl+X, Shift+Del, Ctrl+C,
// Ctrl+Ins, Ctrl+V, Shift+Ins, F6, Shift+F6) are taken by the frame and do
// nothing.
//
// Closing: while port jobs run, the operator is asked first; a confirmed
// close is logged, the jobs are asked to stop at their next command
// boundary, and the device monitor and the jobs are stopped and joined on
// a closing thread while the GUI thread keeps serving their reports. Then
// the closing steps run (staging folder removed, settings saved) and the
// window closes.
#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>
#include <QTranslator>
#include <atomic>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/main_menu.h"
#include "app/port_job_runner.h"
#include "device/port_record.h"

namespace flashery {

class PortPanelsView;
class WaitDialog;

class MainFrame : public QMainWindow {
  Q_OBJECT
 public:
  MainFrame(Application& app, PortRecordTable& records, PortJobRunner& jobs, QWidget* parent = nullptr);
  ~MainFrame() override;

  // Stops the device monitor and waits for it (run on the closing thread).
  std::function<void()> stopMonitor;
  // Called on the GUI thread once the workers have stopped, before the
  // closing steps (detaches the seams).
  std::function<void()> onWorkersStopped;

  PortPanelsView* view() const { return view_; }
  const MenuItem& menuModel() const { return menu_; }
  // The action of a command id (nullptr when none).
  QAction* commandAction(uint32_t commandId) const;
  QMenu* popupMenu(unsigned position) const;
  bool closing() const { return closing_; }

  void OnLanguageCommand(uint32_t commandId);
  void OnAbout();

 signals:
  // The closing steps have run and the window is closed for good.
  void closedForGood();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Qt's own texts (message box buttons, the folder picker) in the active
  // language, from the system's Qt translations.
  void ApplyQtTranslations();
  // The text table follows the language switch once no job reads it.
  void ReloadTextsWhenIdle();
  void BuildMenuBar();
  void BuildLevel(QWidget* parentMenu, MenuItem& model, std::vector<unsigned>& path);
  void ApplyMenuTexts();
  void ApplyLevel(const MenuItem& model, std::vector<unsigned>& path);
  void AddAccelerators();
  void OnCommand(uint32_t commandId);
  void BeginClosing();
  void FinishClosing();

  Application& app_;
  PortJobRunner& jobs_;
  MenuItem menu_;
  LanguageMenu languages_;
  std::map<std::vector<unsigned>, QAction*> actions_;  // by position path
  std::map<unsigned, QMenu*> popups_;
  PortPanelsView* view_;
  WaitDialog* wait_;
  QTranslator qtTranslator_;
  bool qtTranslatorInstalled_ = false;
  bool textsStale_ = false;  // the language changed while jobs read the texts
  QTimer* idleCheck_ = nullptr;
  bool closing_ = false;
  bool closed_ = false;
  std::thread closer_;
};

}  // namespace flashery
