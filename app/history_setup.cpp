#include "app/history_setup.h"

#include "config/settings.h"
#include "history/central_sender.h"
#include "history/central_store.h"
#include "history/history_recorder.h"
#include "history/run_facts.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "text/record_file.h"

namespace flashery {

std::string HistoryStorePath(const std::string& appFolder) { return JoinPath(appFolder, "history.sqlite"); }

void StartHistory(Application& app, const std::string& mode) {
  if (app.history) return;
  Application* a = &app;
  app.historyMode = mode;
  auto recorder = std::make_shared<HistoryRecorder>(
      HistoryStorePath(app.appFolder), [a](const std::string& path, const std::string& why) {
        std::string text = RecordIncompleteMessage(&a->texts, path, why);
        a->log.WriteLine(text);
        a->prompter().Prompt(text);
      });
  recorder->Open();  // a failure is said; the recorder then records nothing
  app.history = recorder;
  app.jobListeners.Add(recorder.get());

  const std::string url = CentralHistoryUrl(app.appFolder);
  if (url.empty()) return;
  auto sender = std::make_shared<CentralSender>(*recorder, url, app.clock(),
                                                [a](const std::string& text) { a->log.WriteLine(text); });
  CentralSender* wake = sender.get();
  recorder->SetOnUnitEnded([wake] { wake->Wake(); });
  app.centralHistory = sender;
  sender->Start();
}

void FinishHistory(Application& app) {
  if (app.centralHistory) app.centralHistory->Finish();
}

std::string CentralHistoryUrl(const std::string& appFolder) {
  return ProfileDocument::Load(DownloadSettingsPath(appFolder)).GetString("History", "url", "", 4095);
}

void SetHistoryJobFacts(Application& app, int port, const DownloadSelection& selection, const QfmPackage* package) {
  if (!app.history) return;
  app.history->SetJobFacts(port, MakeRunFacts(selection, package, app.historyMode,
                                              app.userRole == UserRole::Administrator ? "administrator" : "operator"));
}

int HistoryUnitsRecorded(const Application& app) { return app.history ? app.history->unitsRecorded() : 0; }

std::optional<std::vector<UnitRecord>> QueryCentralHistory(const std::string& appFolder, const HistoryFilter& filter,
                                                           std::string* why) {
  const std::string url = CentralHistoryUrl(appFolder);
  if (url.empty()) {
    if (why) *why = "no central database: set url in section [History] of " + DownloadSettingsPath(appFolder);
    return std::nullopt;
  }
  CentralStore store(url);
  std::string reason;
  auto units = store.Query(filter, &reason);
  if (!units && why) *why = "the central history database: " + reason;
  return units;
}

}  // namespace flashery
