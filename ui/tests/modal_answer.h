// Answering modal boxes from a test: a timer on the GUI thread looks for
// the active modal widget and answers it, so code that shows a box and
// waits can run unchanged.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "ui/qt_text.h"

namespace flashery::testing {

struct SeenBox {
  std::string title, text;
};

// Answers every message box that opens while it lives with `button`, and
// remembers what each said.
class ModalAnswerer {
 public:
  explicit ModalAnswerer(QMessageBox::StandardButton button = QMessageBox::Ok) : button_(button) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr || !box->isVisible()) return;
      seen_.push_back({Utf8(box->windowTitle()), Utf8(box->text())});
      QAbstractButton* b = box->button(button_);
      if (b) b->click();
      else box->reject();
    });
    timer_.start(5);
  }
  void SetButton(QMessageBox::StandardButton button) { button_ = button; }
  const std::vector<SeenBox>& seen() const { return seen_; }

 private:
  QMessageBox::StandardButton button_;
  QTimer timer_;
  std::vector<SeenBox> seen_;
};

// Runs the event loop until `done` holds or `budgetMs` of real time has
// passed; returns whether it held. The budget only bounds a broken test.
inline bool PumpUntil(const std::function<bool()>& done, int budgetMs = 60000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > budgetMs) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace flashery::testing
