#include "app/application.h"

#include "config/station_codepage.h"
#include "platform/program_folder.h"

namespace flashery {

int Application::BeginStartup(const StartupOptions& opts) {
  options = opts;
  std::string lockError;
  lock_ = InstanceLock::Acquire(RuntimeDirectory(), "Flashery", &lockError);
  if (!lock_) {
    prompter_.Prompt(lockError.empty() ? "Flashery is running！" : "Flashery is running！ (" + lockError + ")");
    return kExitCannotStart;
  }
  auto folder = ProgramFolder(opts.home);
  if (!folder || folder->empty()) {
    prompter_.Prompt("Failed to get the App path !");
    return kExitCannotStart;
  }
  appFolder = *folder;
  commandLineMode = false;
  userRole = UserRole::Operator;
  LoadSettings(appFolder, selection);
  codepage = StationCodepage(appFolder);
  modelList = LoadModelList(appFolder);
  commandLineMode = opts.commandLineMode;
  return kExitOk;
}

int Application::FinishStartup(uint16_t userDefaultLang) {
  uint16_t lang = LoadStartupLanguage(appFolder, userDefaultLang, language);
  if (lang != 0) selection.currentLang = lang;
  logFilePath = CreateRunLogFile(appFolder, clock_);
  log.Reset(logFilePath, &prompter_);
  if (commandLineMode) texts.Load(language.lngPath);
  return kExitOk;
}

UserRole RoleForUserName(const std::string& name) {
  return (name == "管理员" || name == "Administrator") ? UserRole::Administrator : UserRole::Operator;
}

}  // namespace flashery
