#include "ui/about_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "ui/control_id.h"
#include "ui/retitle.h"

namespace flashery {

AboutDialog::AboutDialog(const LanguageState& language, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromUtf8("关于 Flashery"));
  SetControlId(this, 0);
  auto* icon = new QLabel(this);
  icon->setPixmap(QApplication::style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(48, 48));
  auto* version = new QLabel(QString::fromUtf8("Flashery 3.0 版"), this);
  SetControlId(version, 1087);
  auto* notice = new QLabel(QString::fromUtf8("Android手机固件下载工位软件"), this);
  SetControlId(notice, 1088);
  auto* ok = new QPushButton(QString::fromUtf8("确定"), this);
  ok->setDefault(true);
  SetControlId(ok, 1);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* texts = new QVBoxLayout;
  texts->addWidget(version);
  texts->addWidget(notice);
  auto* top = new QHBoxLayout;
  top->addWidget(icon);
  top->addLayout(texts, 1);
  top->addWidget(ok, 0, Qt::AlignTop);
  setLayout(top);
  RetitleDialog(this, 100, language);
}

}  // namespace flashery
