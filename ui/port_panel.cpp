#include "ui/port_panel.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "text/status.h"
#include "ui/control_id.h"
#include "ui/qt_text.h"

namespace flashery {
namespace {

const char* const kPortCaptions[8] = {"第一端口", "第二端口", "第三端口", "第四端口",
                                      "第五端口", "第六端口", "第七端口", "第八端口"};

}  // namespace

PortPanel::PortPanel(int port, QWidget* parent) : QGroupBox(parent), port_(port) {
  setTitle(QString::fromUtf8(kPortCaptions[port & 7]));
  SetControlId(this, GroupId(port));

  serial_ = new QLineEdit(this);
  serial_->setReadOnly(true);
  serial_->setFocusPolicy(Qt::ClickFocus);
  SetControlId(serial_, SerialId(port));

  status_ = new ColorPanel(this);
  SetControlId(status_, StatusId(port));

  progress_ = new QProgressBar(this);
  progress_->setRange(0, static_cast<int>(kProgressMax));
  progress_->setValue(0);
  progress_->setTextVisible(false);
  SetControlId(progress_, ProgressId(port));

  start_ = new QPushButton(QString::fromUtf8("开始下载"), this);
  SetControlId(start_, StartId(port));
  connect(start_, &QPushButton::clicked, this, [this] { emit startClicked(port_); });

  stop_ = new QPushButton(QString::fromUtf8("停止"), this);
  stop_->setEnabled(false);
  connect(stop_, &QPushButton::clicked, this, [this] { emit stopClicked(port_); });

  detail_ = new QLabel(this);
  detail_->setTextFormat(Qt::PlainText);

  result_ = new QLabel(this);
  result_->setTextFormat(Qt::PlainText);
  QFont big = result_->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.8);
  result_->setFont(big);
  result_->setAlignment(Qt::AlignCenter);
  result_->setMinimumWidth(90);
  result_->hide();

  auto* form = new QFormLayout;
  form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  // Ports 1 and 5 head their columns and carry the wider label.
  serialLabel_ = new QLabel(QString::fromUtf8(port == 0 || port == 4 ? "SN 号：" : "SN号："), this);
  statusLabel_ = new QLabel(QString::fromUtf8("下载状态："), this);
  progressLabel_ = new QLabel(QString::fromUtf8("下载进度："), this);
  form->addRow(serialLabel_, serial_);
  auto* statusRow = new QHBoxLayout;
  statusRow->addWidget(status_, 1);
  statusRow->addWidget(result_);
  form->addRow(statusLabel_, statusRow);
  counts_ = new QLabel(this);
  counts_->setTextFormat(Qt::PlainText);
  counts_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  auto* detailRow = new QHBoxLayout;
  detailRow->addWidget(detail_, 1);
  detailRow->addWidget(counts_);
  form->addRow(QString(), detailRow);
  // The start button sits beside the progress bar, so eight panels and
  // the file info list fit a 1366x768 screen.
  auto* row = new QHBoxLayout;
  row->addWidget(progress_, 1);
  row->addWidget(start_);
  row->addWidget(stop_);
  form->addRow(progressLabel_, row);
  form->setVerticalSpacing(4);
  form->setContentsMargins(8, 4, 8, 4);
  setLayout(form);
  SetLook(PanelLook::NoHandset);
}

void PortPanel::SetTexts(const QString& serial, const QString& status, const QString& progress,
                         const QString& stop) {
  serialLabel_->setText(serial);
  statusLabel_->setText(status);
  progressLabel_->setText(progress);
  stop_->setText(stop);
}

void PortPanel::SetResultWord(const QString& word, bool failed) {
  result_->setText(word);
  result_->setStyleSheet(failed ? QStringLiteral("color: #C80000") : QStringLiteral("color: #007800"));
  result_->setVisible(!word.isEmpty());
}

void PortPanel::SetLook(PanelLook look) {
  look_ = look;
  status_->SetBackgroundColor(PanelColorRef(look));
  emit lookSet(port_, look);
}

}  // namespace flashery
