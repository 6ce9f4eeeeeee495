#include "ui/wait_dialog.h"

#include <QVBoxLayout>

#include "ui/control_id.h"
#include "ui/retitle.h"

namespace flashery {

WaitDialog::WaitDialog(const LanguageState& language, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  SetControlId(this, 0);
  setModal(true);
  message_ = new QLabel(QString::fromUtf8("正在校验QFM文件，这需要几秒钟，请稍候。。。"), this);
  message_->setAlignment(Qt::AlignCenter);
  SetControlId(message_, 1041);
  auto* layout = new QVBoxLayout;
  layout->addWidget(message_);
  setLayout(layout);
  RetitleDialog(this, 134, language);
}

}  // namespace flashery
