// The window mode of the station: start-up up to the login, the login
// dialog, the rest of the start-up (language, log file), then the main
// frame with its port panels over the window station (records, handset
// bus, device monitor, port jobs) until the frame is closed.
//
// --login operator opens the window as the operator without the login
// dialog (a station that boots into its window); the administrator always
// goes through the dialog and its password. --prepare runs, once the
// window is up, the checks the download file dialog runs on OK for the
// saved folder and ticks (app/prepare_release.h) on a worker; their result
// is applied on the GUI thread as the dialog applies it, and a check that
// fails leaves the station not ready and says why in a message box.
//
// With --json FILE the window writes the same run record as the unattended
// mode: a start line, a line per step and a summary per unit, and an end
// line when the window closes.
#include <QApplication>
#include <cstdlib>
#include <ctime>

#include <memory>
#include <thread>

#include "app/admin_password.h"
#include "app/prepare_release.h"
#include "app/application.h"
#include "app/history_setup.h"
#include "app/modes.h"
#include "app/run_record.h"
#include "device/bus_factory.h"
#include "platform/clock.h"
#include "ui/download_file_dialog.h"
#include "text/station_texts.h"
#include "ui/gui_prompter.h"
#include "ui/gui_scan_reporter.h"
#include "ui/login_dialog.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/station_window.h"

namespace flashery {

int RunWindowMode(int argc, char** argv, const StartupOptions& options) {
  QApplication qt(argc, argv);
  QApplication::setApplicationName(kAppTitle);
  QApplication::setQuitOnLastWindowClosed(false);
  SystemClock clock;
  GuiPrompter prompter;
  Application app(clock, prompter);
  if (int rc = app.BeginStartup(options); rc != kExitOk) return rc;

  BusChoice bus = ChooseBus(options.sim, std::getenv("FLASHERY_BUS"));
  if (!bus.ok) {
    prompter.Prompt(bus.error);
    return kExitUsage;
  }

  if (options.login == "operator") {
    app.userRole = UserRole::Operator;
  } else {
    LoginDialog login(app.selection.currentLang, ReadAdminPasswordSetting(app.appFolder), prompter);
    login.onAccepted = [&](int languageId) {
      app.selection.currentLang = languageId;
      app.SaveSettingsAndSay();
    };
    if (login.exec() != QDialog::Accepted) return kExitOk;
    app.userRole = RoleForUserName(login.chosenUser());
  }
  app.FinishStartup(UserDefaultLangId());
  StartHistory(app, "window");

  RunRecord record;
  RunRecordListener recordWriter(record, clock);
  if (!options.jsonPath.empty()) {
    std::string why;
    if (!record.Open(options.jsonPath, &why)) {
      prompter.Prompt("cannot create the run record " + options.jsonPath + " (" + why + ")");
      return kExitUsage;
    }
    record.SetReporter(&prompter, &app.texts);
    std::tm t = clock.LocalTime();
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &t);
    record.Start(8, app.selection.packagePath, when);
    app.jobListeners.Add(&recordWriter);
  }

  StationWindow window(app, MakeHandsetBus(bus, clock.scale()), &prompter);
  MainFrame& frame = window.frame();
  WindowStation& station = window.station();
  window.view().openDownloadConfig = [&] {
    DownloadFileDialog dialog(app, station.jobs().ActiveJobs(),
                              [&station](std::shared_ptr<const QfmPackage> p) { station.PublishPackage(std::move(p)); },
                              &frame);
    return dialog.exec() == QDialog::Accepted;
  };
  QObject::connect(&frame, &MainFrame::closedForGood, &qt, &QApplication::quit);
  frame.showMaximized();

  GuiScanReporter prepareReporter;
  std::jthread prepare;  // declared last: joined before what it reports to goes
  if (options.prepare) {
    if (app.selection.resourceFolder.empty()) {
      prompter.Prompt(app.texts.Get(station_text::kReleaseNotPrepared) + ": " + NoResourceFolderReason(app.appFolder));
    } else {
      QfmExtensionTable table;
      for (size_t d = 0; d < static_cast<size_t>(QfmExtensionTable::kEntries); ++d) {
        table.names[d] = app.selection.extendNames[d];
        table.codes[d] = app.selection.extendCodes[d];
      }
      ScanContext ctx{app.selection.resourceFolder, app.appFolder, app.texts, app.prompter(), prepareReporter,
                      app.codepage};
      bool resources = app.selection.resourcesSelected != 0, gps = app.selection.gpsSelected != 0;
      prepare = std::jthread([&, ctx, table, resources, gps] {
        auto result = std::make_shared<PreparedRelease>(RunPrepareChecks(ctx, table, resources, gps, app.backupCounter));
        prepareReporter.Post([&, result] {
          auto package = std::make_shared<QfmPackage>();
          std::string reason = ApplyPrepared(*result, app.selection, *package, app.texts);
          if (result->package.ok) station.PublishPackage(package);
          window.view().RefreshFileInfo();
          if (!reason.empty()) prompter.Prompt(app.texts.Get(station_text::kReleaseNotPrepared) + ": " + reason);
        });
      });
    }
  }
  // The frame's close has stopped every worker; the window's teardown
  // stops any that are left before its widgets go.
  int rc = QApplication::exec();
  FinishHistory(app);
  int status = rc == 0 ? kExitOk : kExitFailed;
  if (record.isOpen()) {
    record.End(status, "the window was closed");
    if (!record.Close() && status == kExitOk) status = kExitFailed;
  }
  return status;
}

}  // namespace flashery
