#include "ui/download_file_dialog.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/view_logic.h"
#include "filesets/fileset_layout.h"
#include "filesets/folder_ops.h"
#include "filesets/gps_scan.h"
#include "filesets/package_check.h"
#include "filesets/resources_scan.h"
#include "platform/paths.h"
#include "ui/control_id.h"
#include "ui/qt_text.h"
#include "ui/retitle.h"

namespace flashery {
namespace {

struct PartControls {
  int box, line;
  const char* boxText;
  const char* lineText;
};
constexpr PartControls kParts[kConfigParts] = {
    {1036, 1132, "下载QFM", "请选择下载QFM..."},
    {1037, 1133, "下载内置资源", "请选择下载内置资源..."},
    {1038, 1134, "下载GPS", "请选择下载GPS..."},
};

ConfigPart PartOf(ScanSet set) { return static_cast<ConfigPart>(static_cast<int>(set)); }

void Paint(QLabel* line, uint32_t colorRef) {
  Rgb c = RgbOfColorRef(colorRef);
  QPalette p = line->palette();
  p.setColor(QPalette::Window, QColor(c.r, c.g, c.b));
  p.setColor(QPalette::WindowText, Qt::black);
  line->setPalette(p);
}

}  // namespace

DownloadFileDialog::DownloadFileDialog(Application& app, int runningJobs, PublishPackage publish, QWidget* parent)
    : QDialog(parent),
      app_(app),
      publish_(std::move(publish)),
      opened_(TakeSelectionSnapshot(app.selection)),
      model_(app.selection) {
  setWindowTitle(QStringLiteral("Config download file"));
  SetControlId(this, 0);
  setMinimumWidth(640);

  auto* frame = new QGroupBox(QStringLiteral("Chose download file"), this);
  SetControlId(frame, 1145);
  folder_ = new QLineEdit(frame);
  folder_->setReadOnly(true);
  SetControlId(folder_, 1130);
  chooseFolder_ = new QPushButton(QString::fromUtf8("选择文件夹"), frame);
  SetControlId(chooseFolder_, 1131);
  connect(chooseFolder_, &QPushButton::clicked, this, &DownloadFileDialog::ChooseFolder);

  auto* grid = new QGridLayout;
  grid->addWidget(folder_, 0, 1);
  grid->addWidget(chooseFolder_, 0, 0);
  for (int i = 0; i < kConfigParts; ++i) {
    auto part = static_cast<ConfigPart>(i);
    auto* box = new QCheckBox(QString::fromUtf8(kParts[i].boxText), frame);
    SetControlId(box, kParts[i].box);
    auto* line = new QLabel(QString::fromUtf8(kParts[i].lineText), frame);
    SetControlId(line, kParts[i].line);
    line->setAutoFillBackground(true);
    line->setMinimumHeight(24);
    line->setWordWrap(true);
    grid->addWidget(box, i + 1, 0);
    grid->addWidget(line, i + 1, 1);
    boxes_[Index(part)] = box;
    lines_[Index(part)] = line;
    connect(box, &QCheckBox::clicked, this, [this, part](bool on) { OnBox(part, on); });
    auto* timer = new QTimer(this);
    timer->setInterval(500);
    connect(timer, &QTimer::timeout, this, [this, part] {
      model_.CounterTick(part);
      Refresh();
    });
    timers_[Index(part)] = timer;
  }
  // The brand files come with the package; their box and line stay hidden.
  auto* brandBox = new QCheckBox(QString::fromUtf8("下载quillon"), frame);
  SetControlId(brandBox, 1039);
  brandBox->hide();
  brandLine_ = new QLabel(QString::fromUtf8("请选择下载Quillon..."), frame);
  SetControlId(brandLine_, 1135);
  brandLine_->hide();

  auto* modelLabel = new QLabel(QString::fromUtf8("选择下载机型："), frame);
  SetControlId(modelLabel, 1140);
  modelLabel->hide();
  models_ = new QComboBox(frame);
  SetControlId(models_, 1141);
  models_->hide();
  for (const auto& m : app.modelList) models_->addItem(Qs(m));
  int chosen = models_->findText(Qs(app.selection.phoneModel), Qt::MatchExactly | Qt::MatchCaseSensitive);
  models_->setCurrentIndex(chosen >= 0 ? chosen : 0);
  connect(models_, &QComboBox::activated, this,
          [this](int) { app_.selection.phoneModel = Utf8(models_->currentText()); });

  auto* formatLabel = new QLabel(QString::fromUtf8("选择格式化方式："), frame);
  SetControlId(formatLabel, 1143);
  formats_ = new QComboBox(frame);
  SetControlId(formats_, 1142);
  formats_->addItem(Qs(app.texts.Get(112)));
  formats_->addItem(Qs(app.texts.Get(113)));
  formats_->setCurrentIndex(app.selection.formatMode == 1 ? 0 : 1);
  connect(formats_, &QComboBox::activated, this,
          [this](int index) { app_.selection.formatMode = index == 0 ? 1 : 0; });
  bool administrator = app.userRole == UserRole::Administrator;
  models_->setEnabled(administrator);
  formats_->setEnabled(administrator);
  grid->addWidget(formatLabel, kConfigParts + 1, 0);
  grid->addWidget(formats_, kConfigParts + 1, 1);
  grid->setColumnStretch(1, 1);
  frame->setLayout(grid);

  jobsNote_ = new QLabel(this);
  jobsNote_->setWordWrap(true);
  jobsNote_->setVisible(runningJobs > 0);
  if (runningJobs > 0) jobsNote_->setText(Qs(RunningJobsNote(app.selection.currentLang, runningJobs)));

  auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
  SetControlId(ok, 1);
  ok->setDefault(true);
  auto* cancel = new QPushButton(QString::fromUtf8("取消"), this);
  SetControlId(cancel, 2);
  connect(ok, &QPushButton::clicked, this, &DownloadFileDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &DownloadFileDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout;
  column->addWidget(frame);
  column->addWidget(jobsNote_);
  column->addLayout(buttons);
  setLayout(column);

  reporter_.onStatus = [this](ScanSet set, const ScanText& text) {
    if (model_.jobState(PartOf(set)) != 1) return;
    model_.ShowCheckStatus(PartOf(set), text);
    Refresh();
  };
  reporter_.onEnded = [this](ScanSet set, bool) { timers_[Index(PartOf(set))]->stop(); };
  pickFolder = [this] {
    return Utf8(QFileDialog::getExistingDirectory(this, Qs(app_.texts.Get(118)), Qs(app_.selection.resourceFolder)));
  };

  RetitleDialog(this, 137, app.language);
  folder_->setText(Qs(app.selection.resourceFolder));
  Refresh();
}

DownloadFileDialog::~DownloadFileDialog() {
  for (auto& w : workers_)
    if (w.joinable()) w.join();
}

void DownloadFileDialog::Refresh() {
  for (int i = 0; i < kConfigParts; ++i) {
    auto part = static_cast<ConfigPart>(i);
    const PartLine& l = model_.line(part);
    boxes_[Index(part)]->setChecked(l.ticked);
    boxes_[Index(part)]->setEnabled(l.boxEnabled);
    lines_[Index(part)]->setText(Qs(model_.LineText(part, app_.texts)));
    Paint(lines_[Index(part)], model_.LineColorRef(part));
  }
  if (model_.brandNote() >= 0) brandLine_->setText(Qs(app_.texts.Get(model_.brandNote())));
  chooseFolder_->setEnabled(model_.folderButtonEnabled());
}

void DownloadFileDialog::ChooseFolder() {
  if (!model_.folderButtonEnabled()) return;
  std::string path = pickFolder ? pickFolder() : std::string();
  if (path.empty()) return;
  model_.FolderChosen(path, ProbeResourceFolder(path));
  folder_->setText(Qs(path));
  Refresh();
}

void DownloadFileDialog::OnBox(ConfigPart part, bool ticked) {
  bool brand = FolderExists(JoinPath(app_.appFolder, kBrandFolderName));
  if (model_.Tick(part, ticked, brand)) {
    timers_[Index(part)]->start();
    StartCheck(part);
  } else {
    timers_[Index(part)]->stop();
  }
  Refresh();
}

void DownloadFileDialog::StartCheck(ConfigPart part) {
  auto& worker = workers_[Index(part)];
  if (worker.joinable()) worker.join();  // the previous check of this part has ended
  std::string root = app_.selection.resourceFolder;
  std::string appFolder = app_.appFolder;
  QfmExtensionTable table;
  for (int d = 0; d < QfmExtensionTable::kEntries; ++d) {
    table.names[static_cast<size_t>(d)] = app_.selection.extendNames[static_cast<size_t>(d)];
    table.codes[static_cast<size_t>(d)] = app_.selection.extendCodes[static_cast<size_t>(d)];
  }
  worker = std::jthread([this, part, root, appFolder, table] {
    ScanContext ctx{root, appFolder, app_.texts, app_.prompter(), reporter_, app_.codepage};
    if (part == ConfigPart::Package) {
      auto result = std::make_shared<PackageCheckResult>(PackageCheckJob(ctx, table, app_.backupCounter));
      reporter_.Post([this, result] {
        auto package = std::make_shared<QfmPackage>();
        ApplyPackageCheck(*result, app_.selection, *package);
        packageChecked_ = true;
        pending_ = result->ok ? std::shared_ptr<const QfmPackage>(package) : nullptr;
        timers_[Index(ConfigPart::Package)]->stop();
        model_.WorkerEnded(ConfigPart::Package, result->ok, result->message);
        Refresh();
      });
      return;
    }
    auto result = std::make_shared<SetScanResult>(part == ConfigPart::Resources ? ResourcesScanJob(ctx) : GpsScanJob(ctx));
    reporter_.Post([this, part, result] {
      if (part == ConfigPart::Resources) ApplyResourcesScan(*result, app_.selection);
      else ApplyGpsScan(*result, app_.selection);
      timers_[Index(part)]->stop();
      model_.WorkerEnded(part, result->ok, result->message);
      Refresh();
    });
  });
}

bool DownloadFileDialog::RefuseWhileChecking() {
  if (!model_.AnyRunning()) return false;
  app_.prompter().Prompt(app_.texts.Get(7));
  return true;
}

void DownloadFileDialog::accept() {
  if (RefuseWhileChecking()) return;
  model_.ApplyOk();
  if (packageChecked_ && publish_) publish_(pending_);
  app_.SaveSettingsAndSay();
  QDialog::accept();
}

void DownloadFileDialog::reject() {
  if (RefuseWhileChecking()) return;
  RestoreSelection(app_.selection, opened_);
  QDialog::reject();
}

void DownloadFileDialog::closeEvent(QCloseEvent* event) {
  if (model_.AnyRunning()) {
    event->ignore();
    RefuseWhileChecking();
    return;
  }
  QDialog::closeEvent(event);
}

}  // namespace flashery
