#include "text/prompter.h"

#include <cstdio>

#include "text/log_file.h"

namespace flashery {

int DefaultAnswer(PromptButtons buttons) {
  switch (buttons) {
    case PromptButtons::Ok:
    case PromptButtons::OkCancel: return kAnswerOk;
    case PromptButtons::YesNo:
    case PromptButtons::YesNoCancel: return kAnswerYes;
    case PromptButtons::RetryCancel: return kAnswerCancel;
  }
  return kAnswerOk;
}

int ConsolePrompter::Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) {
  std::lock_guard lock(mutex_);
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  std::fflush(stderr);
  if (log_) log_->WriteLine(caption + ": " + text);
  return DefaultAnswer(buttons);
}

int RecordingPrompter::Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) {
  std::lock_guard lock(mutex_);
  records_.push_back({text, caption, buttons});
  if (!script_.empty()) {
    int a = script_.front();
    script_.erase(script_.begin());
    return a;
  }
  return fallback_;
}

void RecordingPrompter::QueueAnswer(int answer) {
  std::lock_guard lock(mutex_);
  script_.push_back(answer);
}

std::vector<RecordingPrompter::Record> RecordingPrompter::records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

}  // namespace flashery
