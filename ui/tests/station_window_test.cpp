// The window over real simulated handsets: flashery-sim on its socket bus,
// the window station with the device monitor and port jobs, the main frame
// offscreen. Handsets bind to panels, ports are started from the buttons,
// and the panels end green or red as the handsets answer.
#include <gtest/gtest.h>

#include <map>

#include "app/package_facts.h"
#include "app/window_station.h"
#include "device/bus_factory.h"
#include "platform/paths.h"
#include "sim/tests/sim_process.h"
#include "ui/gui_port_view.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/qt_text.h"
#include "ui/tests/modal_answer.h"
#include "ui/tests/sample_package.h"
#include "ui/tests/station_fixture.h"

namespace flashery {
namespace {

using testing::PumpUntil;

constexpr double kScale = 0.01;

struct SimStation {
  ::flashery::testing::TempDir home;
  std::string simDir = home / "bus";
  SystemClock clock{kScale};
  RecordingPrompter prompter;
  Application app{clock, prompter};
  std::unique_ptr<sim::testing::SimProcess> sim;
  std::unique_ptr<WindowStation> station;
  std::unique_ptr<MainFrame> frame;
  std::unique_ptr<GuiPortView> seams;
  std::string blImage = ::flashery::testing::PatternBytes(70000, 1);
  std::string nkImage = ::flashery::testing::PatternBytes(150000, 2);
  std::string systemImage = ::flashery::testing::PatternBytes(300000, 3);
  std::array<int, 8> maxProgress{};

  void Start(std::vector<std::string> simArgs) {
    app.appFolder = home.path();
    ASSERT_TRUE(::flashery::testing::InstallLanguageFile(home.path(), "English.lng"));
    app.language.lngPath = home / "English.lng";
    app.log.Reset(home / "run.txt", &prompter);
    ASSERT_TRUE(MakeDirectories(simDir));
    sim = std::make_unique<sim::testing::SimProcess>(simDir, simArgs, "0.01");
    ASSERT_EQ(sim->FirstLine(), "ready");

    station = std::make_unique<WindowStation>(app, MakeHandsetBus(ChooseBus(simDir, nullptr), kScale));
    frame = std::make_unique<MainFrame>(app, station->records(), station->jobs());
    seams = std::make_unique<GuiPortView>(frame->view());
    station->SetSeams(seams.get(), seams.get());
    frame->view()->onFirstShown = [this] { station->StartMonitor(); };
    frame->view()->packageFacts = [this] { return PackageFactsOf(station->package().get()); };
    frame->stopMonitor = [this] { station->StopMonitor(); };
    frame->onWorkersStopped = [this] { seams->Close(); };
    for (int p = 0; p < 8; ++p)
      QObject::connect(frame->view()->panel(p)->progress(), &QProgressBar::valueChanged, [this, p](int v) {
        maxProgress[static_cast<size_t>(p)] = std::max(maxProgress[static_cast<size_t>(p)], v);
      });
    ConfigurePackage();
    frame->show();
  }

  void ConfigurePackage() {
    std::string path = ::flashery::testing::WriteSamplePackage(home.path(), {blImage, nkImage, systemImage});
    ASSERT_FALSE(path.empty());
    std::string error;
    ASSERT_TRUE(::flashery::testing::AcceptSamplePackage(app, *station, path, error)) << error;
  }

  PortPanel* Panel(int p) { return frame->view()->panel(p); }
  bool Bound(int p) { return !Panel(p)->serial()->text().isEmpty(); }
  bool Ended(int p) {
    return Panel(p)->look() == PanelLook::Succeeded || Panel(p)->look() == PanelLook::Failed;
  }
  // Whether the handset's image folder holds a file with exactly these bytes.
  bool HandsetStored(const std::string& serial, const std::string& bytes) {
    std::string images = JoinPath(JoinPath(simDir, serial), "images");
    for (const auto& e : ListFolder(images)) {
      auto content = ReadWholeFile(JoinPath(images, e.name));
      if (content && *content == bytes) return true;
    }
    return false;
  }
  void CloseWindow() {
    bool done = false;
    QObject::connect(frame.get(), &MainFrame::closedForGood, [&] { done = true; });
    frame->close();
    EXPECT_TRUE(PumpUntil([&] { return done; }));
  }
};

TEST(StationWindow, StartAllWithMoreHandsetsThanPorts) {
  SimStation s;
  s.Start({"--count", "10"});
  ASSERT_TRUE(PumpUntil([&] {
    for (int p = 0; p < 8; ++p)
      if (!s.Bound(p)) return false;
    return true;
  }));
  std::map<std::string, int> serials;
  for (int p = 0; p < 8; ++p) {
    serials[Utf8(s.Panel(p)->serial()->text())] = p;
    EXPECT_EQ(Utf8(s.Panel(p)->status()->text()), "Handset connected, ready to download");
    EXPECT_EQ(s.Panel(p)->look(), PanelLook::Bound);
  }
  EXPECT_EQ(serials.size(), 8u);  // eight different handsets; two wait
  EXPECT_EQ(s.station->records().connectedCount(), 8u);
  EXPECT_EQ(s.frame->view()->fileInfoList()->rowCount(), 5);

  s.frame->view()->startAllButton()->click();
  ASSERT_TRUE(PumpUntil([&] {
    for (int p = 0; p < 8; ++p)
      if (!s.Ended(p) || s.station->jobs().JobActive(p)) return false;
    return true;
  }));
  for (int p = 0; p < 8; ++p) {
    EXPECT_EQ(s.Panel(p)->look(), PanelLook::Succeeded) << p << " " << Utf8(s.Panel(p)->status()->text());
    EXPECT_EQ(s.maxProgress[static_cast<size_t>(p)], 32700);
    std::string serial = Utf8(s.Panel(p)->serial()->text());
    EXPECT_TRUE(s.HandsetStored(serial, s.blImage)) << serial;
    EXPECT_TRUE(s.HandsetStored(serial, s.nkImage)) << serial;
  }
  EXPECT_TRUE(s.prompter.records().empty());
  s.CloseWindow();
  EXPECT_FALSE(s.station->monitorRunning());
}

TEST(StationWindow, SingleStartsAndAHandsetThatNeverReturns) {
  SimStation s;
  s.Start({"--count", "2", "--never-return", "--faulty", "2"});
  ASSERT_TRUE(PumpUntil([&] { return s.Bound(0) && s.Bound(1); }));
  std::string lost = Utf8(s.Panel(1)->serial()->text());
  s.Panel(0)->startButton()->click();
  EXPECT_FALSE(s.Panel(0)->startButton()->isEnabled());
  EXPECT_FALSE(s.frame->view()->startAllButton()->isEnabled());
  s.Panel(1)->startButton()->click();

  // While the faulty handset is off the bus its running port keeps its
  // handset and its running look.
  ASSERT_TRUE(PumpUntil([&] { return s.station->records().Attached(1) == 0 || s.Ended(1); }));
  if (!s.Ended(1)) {
    EXPECT_EQ(Utf8(s.Panel(1)->serial()->text()), lost);
    EXPECT_EQ(s.Panel(1)->look(), PanelLook::Running);
  }
  ASSERT_TRUE(PumpUntil([&] { return s.Ended(0) && s.Ended(1); }));
  EXPECT_EQ(s.Panel(0)->look(), PanelLook::Succeeded) << Utf8(s.Panel(0)->status()->text());
  EXPECT_EQ(s.maxProgress[0], 32700);
  EXPECT_EQ(s.Panel(0)->progress()->value(), 0);
  EXPECT_TRUE(s.HandsetStored(Utf8(s.Panel(0)->serial()->text()), s.systemImage));
  EXPECT_EQ(s.Panel(1)->look(), PanelLook::Failed);
  EXPECT_EQ(s.Panel(1)->progress()->value(), 0);
  ASSERT_TRUE(PumpUntil([&] { return !s.station->jobs().JobActive(0); }));
  s.frame->view()->OnStartAll();  // the written handset is not written again
  EXPECT_FALSE(s.station->jobs().JobActive(0));

  // The job has ended and the handset is gone: the monitor empties the panel.
  ASSERT_TRUE(PumpUntil([&] { return !s.Bound(1); }));
  EXPECT_EQ(Utf8(s.Panel(1)->status()->text()), " (no handset connected)");
  EXPECT_EQ(s.Panel(1)->look(), PanelLook::NoHandset);
  EXPECT_EQ(s.Panel(0)->look(), PanelLook::Succeeded);  // an ended job's colour stays while bound
  s.CloseWindow();
}

TEST(StationWindow, ClosingDuringDownloadsStopsTheJobsAtTheNextCommand) {
  SimStation s;
  // Slow handsets, so the jobs are surely still running at the close.
  s.Start({"--count", "3", "--finish-busy-ms", "200000"});
  ASSERT_TRUE(PumpUntil([&] { return s.Bound(0) && s.Bound(1) && s.Bound(2); }));
  s.frame->view()->OnStartAll();
  ASSERT_EQ(s.station->jobs().ActiveJobs(), 3);
  s.prompter.QueueAnswer(kAnswerYes);
  s.CloseWindow();
  EXPECT_EQ(s.station->jobs().ActiveJobs(), 0);
  ASSERT_EQ(s.prompter.records().size(), 1u);
  EXPECT_EQ(s.prompter.records()[0].buttons, PromptButtons::YesNo);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(s.station->records().State(p), kPortFinished);
  auto log = ReadWholeFile(s.home / "run.txt");
  ASSERT_TRUE(log);
  EXPECT_NE(log->find("they stop at their next command boundary"), std::string::npos);
}

}  // namespace
}  // namespace flashery
