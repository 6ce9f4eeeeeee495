#include "ui/gui_prompter.h"

#include <QApplication>
#include <QMessageBox>
#include <memory>

#include "ui/qt_text.h"

namespace flashery {

int GuiPrompter::Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) {
  // Shared, so a box still open when the wait is given up has somewhere to
  // put its answer.
  auto answer = std::make_shared<int>(flashery::DefaultAnswer(buttons));
  if (!call_.Run([this, text, caption, buttons, answer] { *answer = Show(text, caption, buttons); }))
    return flashery::DefaultAnswer(buttons);
  return *answer;
}

int GuiPrompter::Show(const std::string& text, const std::string& caption, PromptButtons buttons) {
  using B = QMessageBox::StandardButton;
  QMessageBox::StandardButtons set;
  switch (buttons) {
    case PromptButtons::Ok: set = B::Ok; break;
    case PromptButtons::OkCancel: set = B::Ok | B::Cancel; break;
    case PromptButtons::YesNo: set = B::Yes | B::No; break;
    case PromptButtons::YesNoCancel: set = B::Yes | B::No | B::Cancel; break;
    case PromptButtons::RetryCancel: set = B::Retry | B::Cancel; break;
  }
  QWidget* owner = owner_ ? owner_.data() : QApplication::activeWindow();
  QMessageBox box(buttons == PromptButtons::Ok ? QMessageBox::Information : QMessageBox::Question,
                  Qs(caption.empty() ? std::string(kAppTitle) : caption), Qs(text), set, owner);
  box.setWindowModality(Qt::ApplicationModal);
  // A yes/no question of the window (closing while downloads run) defaults
  // to No: Enter or a stray click never says yes.
  if (buttons == PromptButtons::YesNo || buttons == PromptButtons::YesNoCancel) box.setDefaultButton(B::No);
  switch (box.exec()) {
    case B::Ok: return kAnswerOk;
    case B::Cancel: return kAnswerCancel;
    case B::Yes: return kAnswerYes;
    case B::No: return kAnswerNo;
    case B::Retry: return kAnswerRetry;
    default: break;
  }
  // Closed with the window's close button or Escape: the box's cancel.
  return buttons == PromptButtons::Ok ? kAnswerOk : (buttons == PromptButtons::YesNo ? kAnswerNo : kAnswerCancel);
}

}  // namespace flashery
