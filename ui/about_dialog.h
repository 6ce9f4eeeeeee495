// The About box (dialog 100): the program's icon, its version line, a
// one-line notice and an OK button; retitled from section "About" of the
// active language file when it opens (key 0 is the caption).
#pragma once

#include <QDialog>

#include "text/language.h"

namespace flashery {

class AboutDialog : public QDialog {
  Q_OBJECT
 public:
  AboutDialog(const LanguageState& language, QWidget* parent = nullptr);
};

}  // namespace flashery
