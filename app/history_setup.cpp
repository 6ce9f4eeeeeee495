#include "app/history_setup.h"

#include "history/history_recorder.h"
#include "history/run_facts.h"
#include "platform/paths.h"
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
}

void SetHistoryJobFacts(Application& app, int port, const DownloadSelection& selection, const QfmPackage* package) {
  if (!app.history) return;
  app.history->SetJobFacts(port, MakeRunFacts(selection, package, app.historyMode,
                                              app.userRole == UserRole::Administrator ? "administrator" : "operator"));
}

int HistoryUnitsRecorded(const Application& app) { return app.history ? app.history->unitsRecorded() : 0; }

std::optional<std::vector<UnitRecord>> QueryCentralHistory(const std::string&, const HistoryFilter&, std::string* why) {
  if (why) *why = "this station has no central history database";
  return std::nullopt;
}

}  // namespace flashery
