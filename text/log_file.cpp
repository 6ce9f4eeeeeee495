#include "text/log_file.h"

#include <ctime>

#include "platform/textmode.h"
#include "text/prompter.h"
#include "text/record_file.h"

namespace flashery {

namespace {

constexpr const char* kNoLogName = "日志文件名为空，无法创建日志!";

}  // namespace

void LogFile::Reset(std::string path, Prompter* prompter, const TextTable* texts, std::string unwritable,
                    std::string reason) {
  std::lock_guard lock(mutex_);
  path_ = std::move(path);
  prompter_ = prompter;
  texts_ = texts;
  unwritable_ = std::move(unwritable);
  reason_ = std::move(reason);
  problem_.clear();
}

std::string LogFile::path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

std::string LogFile::problem() const {
  std::lock_guard lock(mutex_);
  return problem_;
}

std::string LogFile::FailLocked(const std::string& what, const std::string& reason) {
  if (!problem_.empty()) return {};
  problem_ = RecordIncompleteMessage(texts_, what, reason);
  return problem_;
}

std::string LogFile::AppendLocked(const std::string& bytes) {
  if (path_.size() < 4) {
    if (!problem_.empty()) return {};
    if (unwritable_.empty()) {
      problem_ = kNoLogName;
      return problem_;
    }
    return FailLocked(unwritable_, reason_);
  }
  int error = AppendChecked(path_, ToTextMode(bytes));
  return error == 0 ? std::string() : FailLocked(path_, ErrorText(error));
}

void LogFile::Say(const std::string& message) {
  if (message.empty()) return;
  Prompter* prompter = nullptr;
  {
    std::lock_guard lock(mutex_);
    prompter = prompter_;
  }
  if (prompter) prompter->Prompt(message, kAppTitle, PromptButtons::Ok);
}

void LogFile::Write(std::string_view instanceId, std::string_view text) {
  std::string record;
  record.reserve(instanceId.size() + 2 + text.size());
  record.append(instanceId);
  record += ": ";
  record.append(text);
  std::string message;
  {
    std::lock_guard lock(mutex_);
    message = AppendLocked(record);
  }
  Say(message);
}

void LogFile::WriteLine(std::string_view text) {
  std::string line(text);
  line += "\r\n";
  std::string message;
  {
    std::lock_guard lock(mutex_);
    message = AppendLocked(line);
  }
  Say(message);
}

bool LogFile::Sync() {
  std::string message;
  bool complete = false;
  {
    std::lock_guard lock(mutex_);
    if (path_.size() >= 4) {
      int error = SyncChecked(path_);
      if (error != 0) message = FailLocked(path_, ErrorText(error));
    }
    complete = problem_.empty();
  }
  Say(message);
  return complete;
}

std::string LogFileName(const struct tm& t) {
  char buf[64];
  if (std::strftime(buf, sizeof buf, "%Y-%m-%d %Hh%Mm%Ss", &t) == 0) return "log.txt";
  return std::string(buf) + ".txt";
}

}  // namespace flashery
