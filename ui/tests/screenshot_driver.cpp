// Stages the station's windows for the README's pictures (scripts/screenshots
// runs it under Xvfb).
//   window scene: the real main frame over the window station and running
//     flashery-sim handsets, logged in as administrator, the sample package
//     accepted as the package check would, all ports started; the handsets
//     whose serial begins with kLongSerials take long to finish, the others
//     end as they are made to (good, or refusing a block too often). Once
//     every other port has ended, the first long one is stopped with its
//     panel's Stop button, and the picture shows eight mixed outcomes:
//     running, PASS, FAIL with its reason, STOPPED;
//   dialog scene: the download file dialog over a sample resource folder,
//     its package and resources checks done and the GPS check waiting for
//     the operator's answer about a missing part, then all three done.
// At each picture it writes SHOTS/NAME.ready and waits for SHOTS/NAME.done
// (the script captures the screen in between); then it moves on, and at the
// end closes the window (running jobs are stopped as on any close).
// With --json FILE the run is recorded as the window mode records it.
//
//   flashery-screenshot-driver --scene window|dialog --home DIR --sim DIR --lang 2052|1033 --shots DIR
//                              [--json FILE]
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <getopt.h>

#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "app/run_record.h"
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

// The serials of the handsets that stay busy long enough to be seen running.
constexpr const char kLongSerials[] = "SIMB";

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
  std::string scene = "window", home, sim, shots, json;
  int lang = 2052;
  static const option longOptions[] = {{"scene", required_argument, nullptr, 's'},
                                       {"home", required_argument, nullptr, 'h'},
                                       {"sim", required_argument, nullptr, 'b'},
                                       {"lang", required_argument, nullptr, 'l'},
                                       {"shots", required_argument, nullptr, 'o'},
                                       {"json", required_argument, nullptr, 'j'},
                                       {nullptr, 0, nullptr, 0}};
  bool bad = false;
  for (int c; (c = getopt_long(argc, argv, "", longOptions, nullptr)) != -1;) {
    switch (c) {
      case 's': scene = optarg; break;
      case 'h': home = optarg; break;
      case 'b': sim = optarg; break;
      case 'l': lang = std::atoi(optarg); break;
      case 'o': shots = optarg; break;
      case 'j': json = optarg; break;
      default: bad = true;
    }
  }
  if (bad || optind != argc || home.empty() || sim.empty() || shots.empty() ||
      (scene != "window" && scene != "dialog") || (lang != 2052 && lang != 1033)) {
    std::fprintf(stderr,
                 "usage: %s --scene window|dialog --home DIR --sim DIR --lang 2052|1033 --shots DIR [--json FILE]\n",
                 argv[0]);
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

  RunRecord record;
  RunRecordListener recordWriter(record, clock);
  if (!json.empty()) {
    std::string why;
    if (!record.Open(json, &why)) {
      std::fprintf(stderr, "screenshot driver: cannot create the run record %s (%s)\n", json.c_str(), why.c_str());
      return 2;
    }
    record.SetReporter(&prompter, &app.texts);
    app.jobListeners.Add(&recordWriter);
  }

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
  // What the window scene's steps share (they run after this block is left).
  auto isLong = [view](int p) { return view->panel(p)->serial()->text().startsWith(QLatin1String(kLongSerials)); };
  int stopped = -1;  // the port stopped with its Stop button
  if (scene == "window") {
    std::string error;
    if (!testing::AcceptSamplePackage(app, station, path, error)) {
      std::fprintf(stderr, "screenshot driver: %s\n", error.c_str());
      return 1;
    }
    view->RefreshFileInfo();
    if (record.isOpen()) {
      std::tm t = clock.LocalTime();
      char when[32];
      std::strftime(when, sizeof when, "%Y-%m-%d %H:%M:%S", &t);
      record.Start(8, app.selection.packagePath, when);
    }
    script.Add([&] {
      for (int p = 0; p < 8; ++p)
        if (view->panel(p)->serial()->text().isEmpty()) return false;
      view->OnStartAll();
      return true;
    });
    // The others have ended, the long ones are well under way.
    script.Add([&] {
      for (int p = 0; p < 8; ++p) {
        bool active = station.jobs().JobActive(p);
        if (isLong(p) ? !active || view->panel(p)->progress()->value() < 3 || view->panel(p)->detail()->text().isEmpty()
                      : active)
          return false;
      }
      return true;
    });
    script.Add([&] {
      for (int p = 0; p < 8 && stopped < 0; ++p)
        if (isLong(p)) stopped = p;
      if (stopped >= 0) view->panel(stopped)->stopButton()->click();
      return true;
    });
    script.Add([&] { return stopped < 0 || !station.jobs().JobActive(stopped); });
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
  int rc = QApplication::exec();
  if (record.isOpen()) {
    record.End(rc == 0 ? kExitOk : kExitFailed, "the window was closed");
    if (!record.Close()) return 1;
  }
  return rc;
}
