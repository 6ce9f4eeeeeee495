// The application object: owns what the whole station shares — the
// program folder, the run's log, the settings (DownloadSelection and model
// list), the text table, the active language — and passes references down.
// There are no hidden globals, so a test can run two stations in one
// process.
//
// Start-up runs in two halves around the login of the window mode:
// BeginStartup (single instance, program folder, settings, mode) and
// FinishStartup (language, log file, and in the unattended mode the text
// table).
//
// A settings file (downtoolcfg.ini, Prtcfg.ini) that exists but cannot be
// read whole stops the start: BeginStartup tells the operator which file
// and why through the Prompter (a message box in the window, stderr when
// unattended) and returns kExitCannotStart; the file is left as it is.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/startup.h"
#include "config/settings.h"
#include "config/station_settings.h"
#include "platform/codepage.h"
#include "platform/clock.h"
#include "platform/single_instance.h"
#include "text/job_listener.h"
#include "text/language.h"
#include "text/log_file.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {

class HistoryRecorder;
class CentralSender;

enum class UserRole : int { Administrator = 0, Operator = 1 };

// Exit statuses of the station.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 2;  // nothing could run

class Application {
 public:
  Application(Clock& clock, Prompter& prompter) : clock_(clock), prompter_(prompter) {}

  // kExitOk, or the exit status after the reason was shown.
  int BeginStartup(const StartupOptions& options);
  // userDefaultLang: the LANGID used when the settings hold none.
  int FinishStartup(uint16_t userDefaultLang);
  // Tells the operator (Prompter) what the language steps left in
  // LanguageState: files that could not be read, a failed settings write.
  void SayLanguageProblems();
  // SaveSettings; a failure is told through the Prompter, naming the file.
  bool SaveSettingsAndSay();

  Clock& clock() { return clock_; }
  Prompter& prompter() { return prompter_; }

  std::string appFolder;
  std::string logFilePath;
  bool commandLineMode = false;
  UserRole userRole = UserRole::Operator;
  DownloadSelection selection;
  std::vector<std::string> modelList;
  TextTable texts;
  LanguageState language;
  LogFile log;
  StartupOptions options;
  // Why BeginStartup stopped the station (already told); empty otherwise.
  std::string startupProblem;
  // Names of files moved aside while staging ("Upgrade_Backup/<n>.dy")
  // count up for the whole process.
  std::atomic<unsigned> backupCounter{0};
  // The station's legacy code page (codePage in [Station]), read at startup.
  Codepage codepage = Codepage::Gbk;
  // The station's own settings of [Station], read at startup.
  StationSettings stationSettings;
  // The job event stream of both modes: every port job reports to it, and
  // the window, the live output, the run record and the history store are
  // added to it before the first job starts.
  JobListeners jobListeners;
  // The history store's recorder (history_setup.h); null until started.
  std::shared_ptr<HistoryRecorder> history;
  std::string historyMode;  // "window" or "unattended"
  // Feeds the central history database when [History] url is set (after
  // `history`: it uses the recorder).
  std::shared_ptr<CentralSender> centralHistory;

 private:
  Clock& clock_;
  Prompter& prompter_;
  std::optional<InstanceLock> lock_;
};

// The role a login name gives: administrator for "管理员" and
// "Administrator" (exact bytes), operator otherwise.
UserRole RoleForUserName(const std::string& name);

}  // namespace flashery
