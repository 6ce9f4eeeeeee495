// The window mode of the station: start-up up to the login, the login
// dialog, the rest of the start-up (language, log file), then the main
// frame with its port panels over the window station (records, handset
// bus, device monitor, port jobs) until the frame is closed.
#include <QApplication>
#include <cstdlib>

#include "app/admin_password.h"
#include "app/application.h"
#include "app/history_setup.h"
#include "app/modes.h"
#include "device/bus_factory.h"
#include "platform/clock.h"
#include "ui/download_file_dialog.h"
#include "ui/gui_prompter.h"
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

  {
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
  // The frame's close has stopped every worker; the window's teardown
  // stops any that are left before its widgets go.
  int rc = QApplication::exec();
  FinishHistory(app);
  return rc == 0 ? kExitOk : kExitFailed;
}

}  // namespace flashery
