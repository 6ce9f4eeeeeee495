// Stages the station's windows for the README's pictures (scripts/screenshots
// runs it under Xvfb).
//   window scene: the real main frame over the window station and a running
//     flashery-sim, logged in as administrator, the sample package accepted
//     as the package check would, all ports started;
//   dialog scene: the download file dialog over a sample resource folder,
//     its package and resources checks done and the GPS check waiting for
//     the operator's answer about a missing part, then all three done.
// At each picture it writes SHOTS/NAME.ready and waits for SHOTS/NAME.done
// (the script captures the screen in between); then it moves on, and at the
// end closes the window (running jobs are stopped as on any close).
//
//   flashery-screenshot-driver --scene window|dialog --home DIR --sim DIR --lang 2052|1033 --shots DIR
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/window_station.h"
#include "device/bus_factory.h"
#include "filesets/tests/scan_fixture.h"
#include "platform/clock.h"
#include "ui/download_file_dialog.h"
#include "ui/gui_prompter.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/station_window.h"
#include "ui/tests/sample_package.h"

using namespace flashery;

namespace {

// Steps run one after another on a 50 ms poll: each returns true when done.
class Script {
 public:
  void Add(std::function<bool()> step) { steps_.push_back(std::move(step)); }
  void Shot(const std::string& shots, const std::string& name) {
    Add([=] { return WriteWholeFile(shots + "/" + name + ".ready", "ready\n"); });
    Add([=] { return PathExists(shots + "/" + name + ".done"); });
  }
  void Run() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      while (next_ < steps_.size() && steps_[next_]()) ++next_;
      if (next_ == steps_.size()) timer_.stop();
    });
    timer_.start(50);
  }

 private:
  std::vector<std::function<bool()>> steps_;
  size_t next_ = 0;
  QTimer timer_;
};

}  // namespace

int main(int argc, char** argv) {
  std::string scene = "window", home, sim, shots;
  int lang = 2052;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i], v = argv[i + 1];
    if (k == "--scene") scene = v;
    else if (k == "--home") home = v;
    else if (k == "--sim") sim = v;
    else if (k == "--lang") lang = std::atoi(v.c_str());
    else if (k == "--shots") shots = v;
  }
  if (home.empty() || sim.empty() || shots.empty()) {
    std::fprintf(stderr, "usage: %s --scene window|dialog --home DIR --sim DIR --lang ID --shots DIR\n", argv[0]);
    return 2;
  }
  std::string suffix = lang == 2052 ? "zh" : "en";
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

  StationWindow window(app, MakeHandsetBus(ChooseBus(sim, nullptr), clock.scale()), &prompter);
  WindowStation& station = window.station();
  MainFrame& frame = window.frame();
  QObject::connect(&frame, &MainFrame::closedForGood, &qt, &QApplication::quit);
  frame.showMaximized();
  // Under a bare X server no window manager maximises the window.
  frame.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());

  std::string res = home + "/res";
  MakeDirectories(res);
  std::string path = testing::WriteSamplePackage(
      res, {testing::PatternBytes(1 << 20, 1), testing::PatternBytes(4 << 20, 2), testing::PatternBytes(24 << 20, 3)});
  if (path.empty()) return 1;

  Script script;
  QElapsedTimer settle;
  std::unique_ptr<DownloadFileDialog> dialog;
  PortPanelsView* view = frame.view();
  if (scene == "window") {
    std::string error;
    if (!testing::AcceptSamplePackage(app, station, path, error)) {
      std::fprintf(stderr, "screenshot driver: %s\n", error.c_str());
      return 1;
    }
    view->RefreshFileInfo();
    script.Add([&] {
      for (int p = 0; p < 8; ++p)
        if (view->panel(p)->serial()->text().isEmpty()) return false;
      view->OnStartAll();
      return true;
    });
    script.Add([&] {
      for (int p = 0; p < 8; ++p)
        if (view->panel(p)->progress()->value() < 3 || !station.jobs().JobActive(p)) return false;
      return true;
    });
    script.Add([&] { return settle.start(), true; });
    script.Add([&] { return settle.elapsed() > 1500; });
    script.Shot(shots, "station-window-" + suffix);
  } else {
    testing::MakeResourcesSet(res + "/内置资源");
    testing::MakeGpsSet(res);
    RemoveTree(res + "/GPS/cdrom");  // the GPS check asks about it
    dialog = std::make_unique<DownloadFileDialog>(app, 0, [&](std::shared_ptr<const QfmPackage> p) {
      station.PublishPackage(std::move(p));
    }, &frame);
    dialog->pickFolder = [res] { return res; };
    dialog->show();
    dialog->move(frame.geometry().center() - dialog->rect().center());
    auto idle = [&] { return !dialog->model().AnyRunning(); };
    script.Add([&] {
      dialog->ChooseFolder();
      dialog->box(ConfigPart::Package)->click();
      dialog->box(ConfigPart::Resources)->click();
      return true;
    });
    script.Add(idle);
    script.Add([&] { return dialog->box(ConfigPart::Gps)->click(), true; });
    script.Add([&] { return qobject_cast<QMessageBox*>(QApplication::activeModalWidget()) != nullptr; });
    script.Shot(shots, "download-dialog-checking-" + suffix);
    script.Add([&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box) box->button(QMessageBox::Ok)->click();
      return true;
    });
    script.Add(idle);
    script.Shot(shots, "download-dialog-ready-" + suffix);
    script.Add([&] { return dialog->accept(), true; });
  }
  script.Add([&] {
    prompter.Close();  // the close question is answered with yes
    frame.close();
    return true;
  });
  script.Run();
  return QApplication::exec();
}
