#include "ui/port_panels_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShowEvent>
#include <QApplication>
#include <QVBoxLayout>

#include "text/station_texts.h"
#include "text/status.h"
#include "ui/control_id.h"
#include "ui/qt_text.h"
#include "ui/retitle.h"

namespace flashery {

PortPanelsView::PortPanelsView(Application& app, PortRecordTable& records, PortJobRunner& jobs, QWidget* parent)
    : QWidget(parent), app_(app), records_(records), jobs_(jobs) {
  SetControlId(this, kViewPaneId);
  auto* grid = new QGridLayout;
  for (int p = 0; p < 8; ++p) {
    auto* panel = new PortPanel(p, this);
    panels_[static_cast<size_t>(p)] = panel;
    grid->addWidget(panel, p % 4, p / 4);
    connect(panel, &PortPanel::startClicked, this, &PortPanelsView::OnStartPort);
    connect(panel, &PortPanel::stopClicked, this, &PortPanelsView::OnStopPort);
  }
  grid->setColumnStretch(0, 1);
  grid->setColumnStretch(1, 1);

  startAll_ = new QPushButton(QString::fromUtf8("全部开始"), this);
  SetControlId(startAll_, 1021);
  startAll_->setMinimumHeight(32);
  connect(startAll_, &QPushButton::clicked, this, &PortPanelsView::OnStartAll);
  countsLine_ = new QLabel(this);
  countsLine_->setTextFormat(Qt::PlainText);
  resetCounts_ = new QPushButton(this);
  resetCounts_->setEnabled(app_.userRole == UserRole::Administrator);
  connect(resetCounts_, &QPushButton::clicked, this, [this] {
    if (app_.userRole != UserRole::Administrator) return;
    if (resetShiftCounts) resetShiftCounts();
    ShowCounts();
  });
  auto* startRow = new QHBoxLayout;
  startRow->addWidget(countsLine_, 1);
  startRow->addWidget(startAll_);
  startRow->addStretch(1);
  startRow->addWidget(resetCounts_);

  auto* infoBox = new QGroupBox(QString::fromUtf8("待下载文件信息"), this);
  SetControlId(infoBox, 1081);
  fileInfo_ = new QTableWidget(0, 4, infoBox);
  SetControlId(fileInfo_, 1035);
  fileInfo_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fileInfo_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fileInfo_->setShowGrid(true);
  fileInfo_->verticalHeader()->setVisible(false);
  fileInfo_->horizontalHeader()->setStretchLastSection(true);
  fileInfo_->setMinimumHeight(150);
  auto* infoLayout = new QVBoxLayout;
  infoLayout->addWidget(fileInfo_);
  infoBox->setLayout(infoLayout);

  auto* column = new QVBoxLayout;
  column->addLayout(grid);
  column->addLayout(startRow);
  column->addWidget(infoBox, 1);
  setLayout(column);

  tick_ = new QTimer(this);
  tick_->setInterval(1000);
  connect(tick_, &QTimer::timeout, this, [this] {
    for (int p = 0; p < 8; ++p)
      if (live_[static_cast<size_t>(p)].running) ShowDetail(p);
    ShowCounts();
  });
  tick_->start();
}

void PortPanelsView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (initialised_) return;
  InitialUpdate();
  if (onFirstShown) onFirstShown();
}

void PortPanelsView::InitialUpdate() {
  initialised_ = true;
  Retitle();
  for (int c = 0; c < 4; ++c) {
    const FileInfoColumn& col = kFileInfoColumns[c];
    auto* header = new QTableWidgetItem(Qs(app_.texts.Get(col.textId)));
    header->setTextAlignment(col.centred ? Qt::AlignCenter : (Qt::AlignLeft | Qt::AlignVCenter));
    fileInfo_->setHorizontalHeaderItem(c, header);
    fileInfo_->setColumnWidth(c, col.width);
  }
  app_.selection.formatMode = 1;
  for (int p = 0; p < 8; ++p) {
    PortPanel* panel = panels_[static_cast<size_t>(p)];
    panel->progress()->setValue(0);
    panel->SetLook(PanelLook::NoHandset);
    panel->status()->setText(Qs(app_.texts.Get(39)));
  }
  RefreshFileInfo();
}

void PortPanelsView::ShowCounts() {
  resetCounts_->setText(Qs(app_.texts.Get(station_text::kResetCounts)));
  resetCounts_->setVisible(static_cast<bool>(shiftCounts));
  if (!shiftCounts) {
    countsLine_->clear();
    return;
  }
  ShiftCounts c = shiftCounts();
  std::string line = app_.texts.Get(station_text::kSinceStart) + " " + TallyText(c.total);
  if (todayCounts)
    if (auto today = todayCounts()) line += "    " + app_.texts.Get(station_text::kToday) + " " + TallyText(today->total);
  countsLine_->setText(Qs(line));
  for (int p = 0; p < 8; ++p) panels_[static_cast<size_t>(p)]->counts()->setText(Qs(TallyText(c.ports[static_cast<size_t>(p)])));
}

void PortPanelsView::Retitle() {
  RetitleDialog(this, 101, app_.language);
  ShowCounts();
  for (int p = 0; p < 8; ++p) {
    PortPanel* panel = panels_[static_cast<size_t>(p)];
    panel->SetTexts(Qs(app_.texts.Get(station_text::kPanelSerial)), Qs(app_.texts.Get(station_text::kPanelStatus)),
                    Qs(app_.texts.Get(station_text::kPanelProgress)), Qs(app_.texts.Get(station_text::kStopPort)));
    ShowDetail(p);
    ShowResultWord(p);
    // The status lines of empty and bound panels follow the language; a
    // running or finished panel's line is the job's own wording.
    if (ends_[static_cast<size_t>(p)] || jobs_.JobActive(p)) continue;
    if (panel->look() == PanelLook::NoHandset) panel->status()->setText(Qs(app_.texts.Get(39)));
    else if (panel->look() == PanelLook::Bound) panel->status()->setText(Qs(app_.texts.Get(40)));
  }
}

bool PortPanelsView::AnythingReady() const {
  return app_.selection.packageReady.load() || app_.selection.resourcesReady.load() ||
         app_.selection.gpsReady.load();
}

PortSnapshot PortPanelsView::Snapshot(int port) const {
  PortRecord r = records_.Get(port);
  return PortSnapshot{r.bound(), r.state == kPortRunning || jobs_.JobActive(port), r.state == kPortFinished};
}

void PortPanelsView::AskToConfigure() {
  app_.prompter().Prompt(app_.texts.Get(119));
  if (openDownloadConfig) openDownloadConfig();
  RefreshFileInfo();
}

void PortPanelsView::OnStartPort(int port) {
  if (port < 0 || port >= 8) return;
  switch (DecideStartPort(AnythingReady(), Snapshot(port), !writesSomething || writesSomething())) {
    case StartVerdict::AskToConfigure: AskToConfigure(); return;
    case StartVerdict::NoHandset: app_.prompter().Prompt(PortName(port) + app_.texts.Get(39)); return;
    case StartVerdict::NothingToWrite: app_.prompter().Prompt(app_.texts.Get(station_text::kNothingToWrite)); return;
    case StartVerdict::AlreadyRunning:
    case StartVerdict::NothingFree: return;
    case StartVerdict::Start: break;
  }
  if (!StartPort(port)) app_.prompter().Prompt(PortName(port) + app_.texts.Get(39));
}

void PortPanelsView::OnStartAll() {
  std::array<PortSnapshot, kPanelCount> ports;
  for (int p = 0; p < 8; ++p) ports[static_cast<size_t>(p)] = Snapshot(p);
  StartAllPlan plan = PlanStartAll(AnythingReady(), ports, !writesSomething || writesSomething());
  switch (plan.verdict) {
    case StartVerdict::AskToConfigure: AskToConfigure(); return;
    case StartVerdict::NoHandset: app_.prompter().Prompt(app_.texts.Get(39)); return;
    case StartVerdict::NothingToWrite: app_.prompter().Prompt(app_.texts.Get(station_text::kNothingToWrite)); return;
    case StartVerdict::AlreadyRunning:
    case StartVerdict::NothingFree: return;
    case StartVerdict::Start: break;
  }
  for (int p : plan.ports) StartPort(p);
}

bool PortPanelsView::StartPort(int port) {
  // The record is marked under the table's lock, so the monitor cannot
  // clear the port between the decision and the start.
  if (!records_.TryStartJob(port)) return false;
  startedIds_[static_cast<size_t>(port)] = records_.Get(port).instanceId;
  flashery::NoteJobStarted(autoStartState_, startedIds_[static_cast<size_t>(port)]);
  PortPanel* panel = panels_[static_cast<size_t>(port)];
  buttons_ = ButtonsAfterStart(buttons_, port);
  ends_[static_cast<size_t>(port)].reset();
  live_[static_cast<size_t>(port)] = PortLive{};
  ShowDetail(port);
  ShowResultWord(port);
  panel->SetLook(PanelLook::Running);
  panel->progress()->setValue(0);
  ApplyButtons();
  if (!jobs_.StartJob(port)) {
    records_.SetState(port, kPortFinished);
    OnJobEnded(port, false);
  }
  return true;
}

void PortPanelsView::ApplyButtons() {
  for (int p = 0; p < 8; ++p) {
    panels_[static_cast<size_t>(p)]->startButton()->setEnabled(buttons_.port[static_cast<size_t>(p)]);
    panels_[static_cast<size_t>(p)]->stopButton()->setEnabled(buttons_.stop[static_cast<size_t>(p)]);
  }
  startAll_->setEnabled(buttons_.startAll);
}

void PortPanelsView::OnDownloadConfig() {
  if (app_.userRole != UserRole::Administrator) return;
  if (openDownloadConfig && openDownloadConfig()) RefreshFileInfo();
}

void PortPanelsView::ShowStatusText(int port, const std::string& text) {
  if (port < 0 || port >= 8) return;
  ColorPanel* status = panels_[static_cast<size_t>(port)]->status();
  status->setText(Qs(text));
  status->setCursorPosition(0);
}

void PortPanelsView::ShowProgress(int port, uint32_t position) {
  if (port < 0 || port >= 8) return;
  uint32_t clamped = position > kProgressMax ? kProgressMax : position;
  panels_[static_cast<size_t>(port)]->progress()->setValue(static_cast<int>(clamped));
}

void PortPanelsView::OnStopPort(int port) {
  if (port < 0 || port >= 8) return;
  jobs_.RequestStop(port);  // the job ends at its next command and says so
}

void PortPanelsView::OnJobEnded(int port, bool ok) {
  if (port < 0 || port >= 8) return;
  PortPanel* panel = panels_[static_cast<size_t>(port)];
  auto& end = ends_[static_cast<size_t>(port)];
  if (!end) {  // no job events (a start the runner refused): the PortView's word
    end = JobEnd{};
    end->port = port;
    end->result = ok ? JobResult::Ok : JobResult::Failed;
  }
  panel->SetLook(LookAfterJob(end->result));
  panel->status()->setText(Qs(StatusAfterJob(*end, Utf8(panel->status()->text()))));
  panel->status()->setCursorPosition(0);
  if (!ok) panel->progress()->setValue(0);
  live_[static_cast<size_t>(port)].running = false;
  ShowDetail(port);
  ShowResultWord(port);
  buttons_ = ButtonsAfterJobEnded(buttons_, port);
  ApplyButtons();
  const std::string& id = startedIds_[static_cast<size_t>(port)];
  PortRecord now = records_.Get(port);
  flashery::NoteJobEnded(autoStartState_, id, now.instanceId == id && now.attached == 1);
  ShowCounts();
  if (end->result == JobResult::Failed && app_.stationSettings.failureSound) QApplication::beep();
}

void PortPanelsView::NoteJobStarted(const JobStart& start) {
  if (start.port < 0 || start.port >= 8) return;
  PortLive& l = live_[static_cast<size_t>(start.port)];
  l = PortLive{};
  l.started = l.running = true;
  l.startMs = start.timeMs;
  l.plannedBytes = start.plannedBytes;
  ShowDetail(start.port);
}

void PortPanelsView::NoteStep(int port, JobStep step, const std::string& item) {
  if (port < 0 || port >= 8) return;
  (void)step;
  live_[static_cast<size_t>(port)].item = item;
  ShowDetail(port);
}

void PortPanelsView::NoteBytes(int port, uint64_t totalBytes) {
  if (port < 0 || port >= 8) return;
  live_[static_cast<size_t>(port)].bytes = totalBytes;
  ShowDetail(port);
}

void PortPanelsView::NoteItem(int port, const std::string& name) {
  if (port < 0 || port >= 8) return;
  live_[static_cast<size_t>(port)].item = name;
  ShowDetail(port);
}

void PortPanelsView::NoteJobEnd(const JobEnd& end) {
  if (end.port < 0 || end.port >= 8) return;
  PortLive& l = live_[static_cast<size_t>(end.port)];
  l.running = false;
  l.endMs = l.startMs + end.elapsedMs;
  l.bytes = end.bytes;
  ends_[static_cast<size_t>(end.port)] = end;
}

void PortPanelsView::ShowDetail(int port) {
  const PortLive& l = live_[static_cast<size_t>(port)];
  panels_[static_cast<size_t>(port)]->detail()->setText(
      Qs(LiveDetailText(l, app_.clock().NowMs(), app_.texts.Get(station_text::kUnitTime))));
}

void PortPanelsView::ShowResultWord(int port) {
  const auto& end = ends_[static_cast<size_t>(port)];
  PortPanel* panel = panels_[static_cast<size_t>(port)];
  if (!end) {
    panel->SetResultWord(QString(), false);
    return;
  }
  const StationText& word = end->result == JobResult::Ok       ? station_text::kResultPass
                            : end->result == JobResult::Failed ? station_text::kResultFail
                                                               : station_text::kResultStopped;
  panel->SetResultWord(Qs(app_.texts.Get(word)), end->result != JobResult::Ok);
}

void PortPanelsView::SetAutoStart(bool on) {
  if (!on) {
    delete autoStartTimer_;
    autoStartTimer_ = nullptr;
    return;
  }
  if (autoStartTimer_) return;
  autoStartTimer_ = new QTimer(this);
  autoStartTimer_->setInterval(200);
  connect(autoStartTimer_, &QTimer::timeout, this, &PortPanelsView::AutoStartTick);
  autoStartTimer_->start();
}

void PortPanelsView::AutoStartTick() {
  std::array<PortRecord, kPortCount> ports;
  for (int p = 0; p < kPortCount; ++p) ports[static_cast<size_t>(p)] = records_.Get(p);
  // The rule runs while nothing is ready too, so a unit that left meanwhile
  // is forgotten; starts wait until something is ready to be written.
  std::vector<int> starts = DecideAutoStarts(ports, kPortCount, autoStartState_);
  if (!initialised_ || !AnythingReady()) return;
  for (int p : starts)
    if (!jobs_.JobActive(p)) StartPort(p);
}

void PortPanelsView::UpdatePortPanel(int port, bool connected) {
  if (port < 0 || port >= 8 || app_.commandLineMode) return;
  PortPanel* panel = panels_[static_cast<size_t>(port)];
  PortRecord record = records_.Get(port);
  // The record is read now, on the GUI thread: a handset that left while
  // the update travelled shows as gone rather than with an empty serial.
  if (connected && !record.bound()) connected = false;
  // A job's panel — running, or ending now, or finished — is the job's: the
  // monitor may see the handset go before the job's end reaches this thread.
  const bool showsResult = ends_[static_cast<size_t>(port)].has_value() || jobs_.JobActive(port) ||
                           panel->look() == PanelLook::Running;
  auto change = PanelChangeForMonitor(connected, Utf8(panel->serial()->text()), record.instanceId, showsResult);
  if (!change) return;
  // Another handset takes the port: the last result goes with the old one.
  ends_[static_cast<size_t>(port)].reset();
  live_[static_cast<size_t>(port)] = PortLive{};
  ShowDetail(port);
  ShowResultWord(port);
  panel->status()->setText(Qs(app_.texts.Get(change->statusTextId)));
  panel->SetLook(change->look);
  panel->serial()->setText(Qs(change->serial));
  panel->update();
}

bool PortPanelsView::RefreshFileInfo() {
  fileInfo_->setRowCount(0);
  PackageFacts facts = packageFacts ? packageFacts() : PackageFacts{};
  std::vector<FileInfoRow> rows = FileInfoRows(app_.selection, facts, app_.texts);
  if (rows.empty()) return !app_.selection.packagePath.empty();
  fileInfo_->setRowCount(static_cast<int>(rows.size()));
  for (size_t i = 0; i < rows.size(); ++i) {
    const FileInfoRow& r = rows[i];
    const std::string* cells[4] = {&r.number, &r.kind, &r.name, &r.size};
    for (int c = 0; c < 4; ++c) {
      QString text = Qs(*cells[c]);
      text.replace(QLatin1Char('\t'), QStringLiteral("  "));  // a list cell shows no tab stops
      auto* item = new QTableWidgetItem(text);
      if (kFileInfoColumns[c].centred) item->setTextAlignment(Qt::AlignCenter);
      fileInfo_->setItem(static_cast<int>(i), c, item);
    }
  }
  return true;
}

}  // namespace flashery
