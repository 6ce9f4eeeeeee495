// The window mode of the station: start-up up to the login, the login
// dialog, the rest of the start-up (language, log file), then the main
// frame with its port panels over the window station (records, handset
// bus, device monitor, port jobs) until the frame is closed.
#include <QApplication>
#include <cstdlib>

#include "app/admin_password.h"
#include "app/application.h"
#include "app/modes.h"
#include "app/package_facts.h"
#include "app/window_station.h"
#include "device/bus_factory.h"
#include "platform/clock.h"
#include "ui/download_file_dialog.h"
#include "ui/gui_port_view.h"
#include "ui/gui_prompter.h"
#include "ui/login_dialog.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"

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
      SaveSettings(app.appFolder, app.selection);
    };
    if (login.exec() != QDialog::Accepted) return kExitOk;
    app.userRole = RoleForUserName(login.chosenUser());
  }
  app.FinishStartup(UserDefaultLangId());

  WindowStation station(app, MakeHandsetBus(bus, clock.scale()));
  MainFrame frame(app, station.records(), station.jobs());
  GuiPortView seams(frame.view());
  station.SetSeams(&seams, &seams);
  prompter.SetOwner(&frame);
  frame.view()->packageFacts = [&station] {
    auto package = station.package();
    return PackageFactsOf(package.get());
  };
  frame.view()->openDownloadConfig = [&] {
    DownloadFileDialog dialog(app, station.jobs().ActiveJobs(),
                              [&station](std::shared_ptr<const QfmPackage> p) { station.PublishPackage(std::move(p)); },
                              &frame);
    return dialog.exec() == QDialog::Accepted;
  };
  frame.view()->onFirstShown = [&station] { station.StartMonitor(); };
  frame.stopMonitor = [&station] { station.StopMonitor(); };
  frame.onWorkersStopped = [&] {
    seams.Close();
    prompter.Close();
  };
  QObject::connect(&frame, &MainFrame::closedForGood, &qt, &QApplication::quit);
  frame.showMaximized();
  return QApplication::exec() == 0 ? kExitOk : kExitFailed;
}

}  // namespace flashery
