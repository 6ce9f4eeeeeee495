#include "ui/main_frame.h"

#include <QCloseEvent>
#include <QApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMenuBar>
#include <QShortcut>

#include "app/view_logic.h"
#include "app/window_shutdown.h"
#include "ui/about_dialog.h"
#include "ui/port_panels_view.h"
#include "ui/qt_text.h"
#include "ui/wait_dialog.h"

namespace flashery {

MainFrame::MainFrame(Application& app, PortRecordTable& records, PortJobRunner& jobs, QWidget* parent)
    : QMainWindow(parent), app_(app), jobs_(jobs) {
  setWindowTitle(Qs(MainWindowTitle(app.userRole)));
  menu_ = BuiltInMainMenu();
  languages_ = BuildLanguageMenu(app.appFolder);
  AddLanguageItems(menu_, languages_);
  if (languages_.selectedId != kFirstLanguageCommand) RetitleMenuFromFile(menu_, app.language.lngPath);
  BuildMenuBar();
  // The operator cannot configure downloads: the item says so by being
  // disabled rather than doing nothing.
  if (QAction* config = commandAction(kCommandDownloadConfig))
    config->setEnabled(app.userRole == UserRole::Administrator);
  AddAccelerators();
  if (app.texts.size() == 0) app.texts.Load(app.language.lngPath);
  ApplyQtTranslations();
  idleCheck_ = new QTimer(this);
  idleCheck_->setInterval(500);
  connect(idleCheck_, &QTimer::timeout, this, &MainFrame::ReloadTextsWhenIdle);

  view_ = new PortPanelsView(app, records, jobs, this);
  setCentralWidget(view_);
  wait_ = new WaitDialog(app.language, view_);
  resize(1280, 720);
}

MainFrame::~MainFrame() {
  if (qtTranslatorInstalled_) QApplication::removeTranslator(&qtTranslator_);
  if (closer_.joinable()) closer_.join();
}

void MainFrame::BuildMenuBar() {
  std::vector<unsigned> path;
  BuildLevel(menuBar(), menu_, path);
  ApplyMenuTexts();
}

void MainFrame::BuildLevel(QWidget* parentMenu, MenuItem& model, std::vector<unsigned>& path) {
  auto* bar = qobject_cast<QMenuBar*>(parentMenu);
  auto* menu = qobject_cast<QMenu*>(parentMenu);
  for (unsigned pos = 0; pos < model.children.size(); ++pos) {
    MenuItem& item = model.children[pos];
    path.push_back(pos);
    if (item.separator) {
      if (menu) menu->addSeparator();
    } else if (item.popup()) {
      QMenu* sub = bar ? bar->addMenu(Qs(item.text)) : menu->addMenu(Qs(item.text));
      if (path.size() == 1) popups_[pos] = sub;
      actions_[path] = sub->menuAction();
      BuildLevel(sub, item, path);
    } else {
      QAction* action = bar ? bar->addAction(Qs(item.text)) : menu->addAction(Qs(item.text));
      uint32_t id = item.commandId;
      if (id >= kFirstLanguageCommand && id <= kLastLanguageCommand) action->setCheckable(true);
      connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
      actions_[path] = action;
    }
    path.pop_back();
  }
}

void MainFrame::ApplyMenuTexts() {
  std::vector<unsigned> path;
  ApplyLevel(menu_, path);
}

void MainFrame::ApplyLevel(const MenuItem& model, std::vector<unsigned>& path) {
  for (unsigned pos = 0; pos < model.children.size(); ++pos) {
    const MenuItem& item = model.children[pos];
    path.push_back(pos);
    auto it = actions_.find(path);
    if (it != actions_.end() && !item.separator) {
      it->second->setText(Qs(item.text));
      if (it->second->isCheckable()) it->second->setChecked(item.checked);
    }
    if (item.popup()) ApplyLevel(item, path);
    path.pop_back();
  }
}

QAction* MainFrame::commandAction(uint32_t commandId) const {
  std::function<QAction*(const MenuItem&, std::vector<unsigned>&)> find =
      [&](const MenuItem& m, std::vector<unsigned>& path) -> QAction* {
    for (unsigned pos = 0; pos < m.children.size(); ++pos) {
      path.push_back(pos);
      const MenuItem& item = m.children[pos];
      QAction* found = nullptr;
      if (item.popup()) found = find(item, path);
      else if (!item.separator && item.commandId == commandId) {
        auto it = actions_.find(path);
        if (it != actions_.end()) found = it->second;
      }
      path.pop_back();
      if (found) return found;
    }
    return nullptr;
  };
  std::vector<unsigned> path;
  return find(menu_, path);
}

QMenu* MainFrame::popupMenu(unsigned position) const {
  auto it = popups_.find(position);
  return it == popups_.end() ? nullptr : it->second;
}

void MainFrame::AddAccelerators() {
  auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
  connect(open, &QShortcut::activated, this, [this] { QFileDialog::getOpenFileName(this); });
  const QKeyCombination inert[] = {
      Qt::CTRL | Qt::Key_N,       Qt::CTRL | Qt::Key_S,       Qt::CTRL | Qt::Key_Z,
      Qt::ALT | Qt::Key_Backspace, Qt::CTRL | Qt::Key_X,       Qt::SHIFT | Qt::Key_Delete,
      Qt::CTRL | Qt::Key_C,       Qt::CTRL | Qt::Key_Insert,  Qt::CTRL | Qt::Key_V,
      Qt::SHIFT | Qt::Key_Insert, QKeyCombination(Qt::Key_F6), Qt::SHIFT | Qt::Key_F6};
  for (QKeyCombination k : inert) new QShortcut(QKeySequence(k), this);
}

void MainFrame::OnCommand(uint32_t commandId) {
  if (commandId >= kFirstLanguageCommand && commandId <= kLastLanguageCommand) {
    OnLanguageCommand(commandId);
  } else if (commandId == kCommandExit) {
    close();
  } else if (commandId == kCommandAbout) {
    OnAbout();
  } else if (commandId == kCommandDownloadConfig) {
    view_->OnDownloadConfig();
  }
}

void MainFrame::OnLanguageCommand(uint32_t commandId) {
  std::string name = MenuTextOfCommand(menu_, commandId);
  uint32_t selected = SelectLanguageFromMenu(app_.appFolder, languages_, commandId, name, app_.language);
  app_.SayLanguageProblems();
  app_.selection.currentLang = app_.language.languageId;
  CheckLanguageItem(menu_, selected);
  RetitleMenuFromFile(menu_, app_.language.lngPath);
  ApplyMenuTexts();
  ApplyQtTranslations();
  // The port jobs read the text table without a lock: it is reloaded now
  // when none runs, else as soon as the last one has ended.
  textsStale_ = true;
  ReloadTextsWhenIdle();
  if (textsStale_) idleCheck_->start();
  if (view_->initialised()) view_->Retitle();
}

void MainFrame::ReloadTextsWhenIdle() {
  if (!textsStale_ || jobs_.ActiveJobs() > 0) return;
  textsStale_ = false;
  idleCheck_->stop();
  app_.texts.Load(app_.language.lngPath);
  if (view_->initialised()) view_->Retitle();
}

void MainFrame::ApplyQtTranslations() {
  if (qtTranslatorInstalled_) QApplication::removeTranslator(&qtTranslator_);
  qtTranslatorInstalled_ = false;
  std::string locale = QtLocaleOfLanguage(app_.selection.currentLang);
  if (locale.empty()) return;
  if (qtTranslator_.load(QStringLiteral("qtbase_") + QString::fromStdString(locale),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    qtTranslatorInstalled_ = QApplication::installTranslator(&qtTranslator_);
}

void MainFrame::OnAbout() {
  AboutDialog about(app_.language, this);
  about.exec();
}

void MainFrame::closeEvent(QCloseEvent* event) {
  if (closed_) {
    event->accept();
    return;
  }
  event->ignore();
  if (closing_) return;
  int running = jobs_.ActiveJobs();
  if (running > 0) {
    int answer = app_.prompter().Prompt(CloseWhileRunningQuestion(app_.selection.currentLang, running), kAppTitle,
                                        PromptButtons::YesNo);
    if (answer != kAnswerYes) return;
    app_.log.WriteLine(CloseWhileRunningLogLine(running));
  }
  BeginClosing();
}

void MainFrame::BeginClosing() {
  closing_ = true;
  setEnabled(false);
  jobs_.RequestStopAll();
  // The monitor and the jobs may be waiting for this thread to apply a
  // report, so they are joined elsewhere while this thread serves them.
  closer_ = std::thread([this] {
    if (stopMonitor) stopMonitor();
    jobs_.JoinAll();
    QMetaObject::invokeMethod(this, [this] { FinishClosing(); }, Qt::QueuedConnection);
  });
}

void MainFrame::FinishClosing() {
  if (closer_.joinable()) closer_.join();
  app_.log.Sync();  // a log that cannot be flushed is said now, while boxes still show
  if (onWorkersStopped) onWorkersStopped();
  ShutdownResult steps = RunWindowShutdownSteps(app_.appFolder, app_.selection);
  if (!steps.settingsSaved) app_.prompter().Prompt(app_.texts.Get(station_text::kSettingsNotSaved) + ": " + steps.settingsProblem);
  closed_ = true;
  close();
  emit closedForGood();
}

}  // namespace flashery
