// GuiPrompter: the Prompter seam as modal message boxes on the GUI thread.
// A prompt from another thread is carried over to the GUI thread (GuiCall)
// and waits for the answer there. Once the window is closing (Close()),
// prompts are answered without asking, as the console does (OK / Yes,
// Cancel to a retry question), so no worker waits for a box nobody will
// see; a worker already waiting gets that answer at once.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "text/prompter.h"
#include "ui/gui_call.h"

namespace flashery {

class GuiPrompter : public QObject, public Prompter {
  Q_OBJECT
 public:
  GuiPrompter() = default;
  int Prompt(const std::string& text, const std::string& caption = kAppTitle,
             PromptButtons buttons = PromptButtons::Ok) override;
  // Boxes are owned by this window (the active window when unset).
  void SetOwner(QWidget* owner) { owner_ = owner; }
  void Close() { call_.Close(); }

 private:
  int Show(const std::string& text, const std::string& caption, PromptButtons buttons);

  QPointer<QWidget> owner_;
  GuiCall call_{this};
};

}  // namespace flashery
