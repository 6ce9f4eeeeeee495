// Stages the station window for the README's pictures (scripts/screenshots
// runs it under Xvfb): the real main frame over the window station and a
// running flashery-sim, logged in as administrator, the sample package
// accepted as the package check would, all ports started. Once every port
// is downloading it writes the --ready file; when the --done file appears
// it closes the window (the running jobs are stopped as on any close).
//
//   flashery-screenshot-driver --home DIR --sim DIR --lang 2052|1033 --ready FILE --done FILE
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/package_facts.h"
#include "app/window_station.h"
#include "device/bus_factory.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "ui/gui_port_view.h"
#include "ui/gui_prompter.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/tests/sample_package.h"

using namespace flashery;

int main(int argc, char** argv) {
  std::string home, sim, ready, done;
  int lang = 2052;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--home") home = v;
    else if (k == "--sim") sim = v;
    else if (k == "--lang") lang = std::atoi(v.c_str());
    else if (k == "--ready") ready = v;
    else if (k == "--done") done = v;
  }
  if (home.empty() || sim.empty() || ready.empty() || done.empty()) {
    std::fprintf(stderr, "usage: %s --home DIR --sim DIR --lang ID --ready FILE --done FILE\n", argv[0]);
    return 2;
  }
  QApplication qt(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  SystemClock clock;
  GuiPrompter prompter;
  Application app(clock, prompter);
  StartupOptions options;
  options.home = home;
  if (app.BeginStartup(options) != kExitOk) return 2;
  app.selection.currentLang = lang;
  SaveSettings(app.appFolder, app.selection);
  app.userRole = UserRole::Administrator;
  app.FinishStartup(static_cast<uint16_t>(lang));

  WindowStation station(app, MakeHandsetBus(ChooseBus(sim, nullptr), clock.scale()));
  MainFrame frame(app, station.records(), station.jobs());
  GuiPortView seams(frame.view());
  station.SetSeams(&seams, &seams);
  prompter.SetOwner(&frame);
  frame.view()->packageFacts = [&station] { return PackageFactsOf(station.package().get()); };
  frame.view()->onFirstShown = [&station] { station.StartMonitor(); };
  frame.stopMonitor = [&station] { station.StopMonitor(); };
  frame.onWorkersStopped = [&] {
    seams.Close();
    prompter.Close();
  };
  QObject::connect(&frame, &MainFrame::closedForGood, &qt, &QApplication::quit);

  std::string path = testing::WriteSamplePackage(
      home, {testing::PatternBytes(1 << 20, 1), testing::PatternBytes(4 << 20, 2), testing::PatternBytes(24 << 20, 3)});
  std::string error;
  if (path.empty() || !testing::AcceptSamplePackage(app, station, path, error)) {
    std::fprintf(stderr, "screenshot driver: no sample package: %s\n", error.c_str());
    return 1;
  }
  frame.view()->RefreshFileInfo();
  frame.showMaximized();
  // Under a bare X server no window manager maximises the window.
  frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());

  enum { kBinding, kStarted, kReady } stage = kBinding;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    PortPanelsView* view = frame.view();
    if (stage == kBinding) {
      for (int p = 0; p < 8; ++p)
        if (view->panel(p)->serial()->text().isEmpty()) return;
      view->OnStartAll();
      stage = kStarted;
    } else if (stage == kStarted) {
      for (int p = 0; p < 8; ++p)
        if (view->panel(p)->progress()->value() < 3 || !station.jobs().JobActive(p)) return;
      stage = kReady;
      QTimer::singleShot(1500, [&] { WriteWholeFile(ready, "ready\n"); });
    } else if (PathExists(done)) {
      poll.stop();
      prompter.Close();  // the close question is answered with yes
      frame.close();
    }
  });
  poll.start(50);
  return QApplication::exec();
}
