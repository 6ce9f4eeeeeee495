// Prompter: the seam for every message box. The window front end shows a
// modal box on the GUI thread; the console side writes the text to stderr
// (and to the run's log when one is given) and answers without asking.
#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace flashery {

enum class PromptButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel };

// Answers use the platform's numbers so they can be stored and compared
// as the original did.
enum PromptAnswer : int { kAnswerOk = 1, kAnswerCancel = 2, kAnswerRetry = 4, kAnswerYes = 6, kAnswerNo = 7 };

inline constexpr const char* kAppTitle = "Flashery";

// The answer taken when nobody can be asked: OK / Yes (the affirmative),
// and Cancel to a retry question so an unattended run never loops.
int DefaultAnswer(PromptButtons buttons);

class Prompter {
 public:
  virtual ~Prompter() = default;
  virtual int Prompt(const std::string& text, const std::string& caption = kAppTitle,
                     PromptButtons buttons = PromptButtons::Ok) = 0;
};

class LogFile;

// Unattended use: writes "caption: text" to stderr and the log; answers
// OK / Yes (the affirmative), and Cancel to a retry question so an
// unattended run never loops on a prompt.
class ConsolePrompter final : public Prompter {
 public:
  explicit ConsolePrompter(LogFile* log = nullptr) : log_(log) {}
  void SetLog(LogFile* log) { log_ = log; }
  int Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) override;

 private:
  LogFile* log_;
  std::mutex mutex_;
};

// Tests: records every prompt and answers from a script (then `fallback`).
class RecordingPrompter final : public Prompter {
 public:
  struct Record {
    std::string text, caption;
    PromptButtons buttons;
  };
  explicit RecordingPrompter(int fallback = kAnswerOk) : fallback_(fallback) {}
  int Prompt(const std::string& text, const std::string& caption, PromptButtons buttons) override;
  void QueueAnswer(int answer);
  std::vector<Record> records() const;

 private:
  mutable std::mutex mutex_;
  std::vector<Record> records_;
  std::vector<int> script_;
  int fallback_;
};

}  // namespace flashery
