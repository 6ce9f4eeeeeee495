#include "text/log_file.h"

#include <ctime>

#include "platform/files.h"
#include "platform/textmode.h"
#include "text/prompter.h"

namespace flashery {

void LogFile::Reset(std::string path, Prompter* prompter) {
  std::lock_guard lock(mutex_);
  path_ = std::move(path);
  prompter_ = prompter;
}

std::string LogFile::path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void LogFile::Write(std::string_view instanceId, std::string_view text) {
  std::string record;
  record.reserve(instanceId.size() + 2 + text.size());
  record.append(instanceId);
  record += ": ";
  record.append(text);
  Prompter* prompter = nullptr;
  {
    std::lock_guard lock(mutex_);
    if (path_.size() >= 4) {
      AppendToFile(path_, ToTextMode(record));  // an unwritable log drops the record
      return;
    }
    prompter = prompter_;
  }
  if (prompter) prompter->Prompt("日志文件名为空，无法创建日志!", kAppTitle, PromptButtons::Ok);
}

void LogFile::WriteLine(std::string_view text) {
  std::lock_guard lock(mutex_);
  if (path_.size() < 4) return;
  std::string line(text);
  line += "\r\n";
  AppendToFile(path_, ToTextMode(line));
}

std::string LogFileName(const struct tm& t) {
  char buf[64];
  if (std::strftime(buf, sizeof buf, "%Y-%m-%d %Hh%Mm%Ss", &t) == 0) return "log.txt";
  return std::string(buf) + ".txt";
}

}  // namespace flashery
