// The wait dialog (dialog 134): a small captionless box with one centred
// line, "正在校验QFM文件，这需要几秒钟，请稍候。。。", retitled from section
// "Wait". The main form keeps one for its lifetime; nothing in the
// station shows it (the package check shows its own counting status line).
#pragma once

#include <QDialog>
#include <QLabel>

#include "text/language.h"

namespace flashery {

class WaitDialog : public QDialog {
  Q_OBJECT
 public:
  WaitDialog(const LanguageState& language, QWidget* parent);
  QLabel* message() const { return message_; }

 private:
  QLabel* message_;
};

}  // namespace flashery
