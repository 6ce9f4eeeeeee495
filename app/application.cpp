#include "app/application.h"

#include "config/station_codepage.h"
#include "platform/program_folder.h"
#include "text/record_file.h"

namespace flashery {

int Application::BeginStartup(const StartupOptions& opts) {
  options = opts;
  std::string lockError;
  lock_ = InstanceLock::Acquire(RuntimeDirectory(), "Flashery", &lockError);
  if (!lock_) {
    prompter_.Prompt(lockError.empty() ? "Flashery is running！" : "Flashery is running！ (" + lockError + ")");
    return kExitCannotStart;
  }
  auto folder = ChooseProgramFolderOfProcess(opts.home);
  if (!folder || folder->folder.empty()) {
    prompter_.Prompt("Failed to get the App path !");
    return kExitCannotStart;
  }
  std::string folderProblem;
  if (folder->shared &&
      !PrepareSharedFolder(folder->folder, ShippedLanguageFolder(ExecutableFolder().value_or("")), &folderProblem)) {
    prompter_.Prompt("Failed to get the App path ! (" + folderProblem + ")");
    return kExitCannotStart;
  }
  if (folder->shared) ShareWritesWithGroup();
  appFolder = folder->folder;
  commandLineMode = false;
  userRole = UserRole::Operator;
  // Only one station runs (the lock above), so a temporary of the settings
  // is a write of an earlier run that was cut short.
  RemoveSettingsLeftovers(appFolder);
  std::string problem;
  if (!LoadSettings(appFolder, selection, &problem) || !LoadModelList(appFolder, modelList, &problem)) {
    startupProblem = texts.Get(station_text::kSettingsUnreadable) + ": " + problem;
    prompter_.Prompt(startupProblem);
    return kExitCannotStart;
  }
  codepage = StationCodepage(appFolder);
  stationSettings = LoadStationSettings(appFolder);
  commandLineMode = opts.commandLineMode;
  return kExitOk;
}

int Application::FinishStartup(uint16_t userDefaultLang) {
  uint16_t lang = LoadStartupLanguage(appFolder, userDefaultLang, language);
  if (lang != 0) selection.currentLang = lang;
  std::string unwritable;
  int error = 0;
  logFilePath = CreateRunLogFile(appFolder, clock_, &unwritable, &error);
  log.Reset(logFilePath, &prompter_, &texts, unwritable, logFilePath.empty() ? ErrorText(error) : std::string());
  if (commandLineMode) texts.Load(language.lngPath);
  SayLanguageProblems();
  return kExitOk;
}

void Application::SayLanguageProblems() {
  std::vector<std::string> unreadable;
  unreadable.swap(language.unreadable);
  for (const auto& p : unreadable) prompter_.Prompt(texts.Get(station_text::kFileUnreadable) + ": " + p);
  if (!language.settingsNotSaved.empty())
    prompter_.Prompt(texts.Get(station_text::kSettingsNotSaved) + ": " + language.settingsNotSaved);
  language.settingsNotSaved.clear();
}

bool Application::SaveSettingsAndSay() {
  std::string problem;
  if (SaveSettings(appFolder, selection, &problem)) return true;
  prompter_.Prompt(texts.Get(station_text::kSettingsNotSaved) + ": " + problem);
  return false;
}

UserRole RoleForUserName(const std::string& name) {
  return (name == "管理员" || name == "Administrator") ? UserRole::Administrator : UserRole::Operator;
}

}  // namespace flashery
