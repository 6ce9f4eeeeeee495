// The window over real simulated handsets: flashery-sim on its socket bus,
// the window station with the device monitor and port jobs, the main frame
// offscreen. Handsets bind to panels, ports are started from the buttons,
// and the panels end green or red as the handsets answer; the run record
// (as --json writes it) is checked against the panels.
#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>
#include <map>

#include "app/run_record.h"
#include "device/bus_factory.h"
#include "platform/paths.h"
#include "sim/tests/sim_process.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/qt_text.h"
#include "ui/station_window.h"
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
  std::unique_ptr<StationWindow> window;
  std::string blImage = ::flashery::testing::PatternBytes(70000, 1);
  std::string nkImage = ::flashery::testing::PatternBytes(150000, 2);
  std::string systemImage = ::flashery::testing::PatternBytes(300000, 3);
  std::array<int, 8> maxProgress{};
  std::array<std::vector<PanelLook>, 8> looks;  // every look each panel was given
  bool closed = false;
  RunRecord record;
  RunRecordListener recordWriter{record, clock};

  // Closes the window as the operator would (confirming the question when
  // jobs run); the window's own teardown stops whatever a failed test left.
  ~SimStation() {
    if (window && !closed) {
      prompter.QueueAnswer(kAnswerYes);
      CloseWindow();
    }
    window.reset();
  }

  void Start(std::vector<std::string> simArgs) {
    app.appFolder = home.path();
    ASSERT_TRUE(::flashery::testing::InstallLanguageFile(home.path(), "English.lng"));
    app.language.lngPath = home / "English.lng";
    app.log.Reset(home / "run.txt", &prompter);
    ASSERT_TRUE(MakeDirectories(simDir));
    sim = std::make_unique<sim::testing::SimProcess>(simDir, simArgs, "0.01");
    ASSERT_EQ(sim->FirstLine(), "ready");
    ASSERT_TRUE(record.Open(home / "run.json"));
    app.jobListeners.Add(&recordWriter);

    window = std::make_unique<StationWindow>(app, MakeHandsetBus(ChooseBus(simDir, nullptr), kScale), nullptr);
    for (int p = 0; p < 8; ++p) {
      QObject::connect(Panel(p)->progress(), &QProgressBar::valueChanged, [this, p](int v) {
        maxProgress[static_cast<size_t>(p)] = std::max(maxProgress[static_cast<size_t>(p)], v);
      });
      QObject::connect(Panel(p), &PortPanel::lookSet,
                       [this](int port, PanelLook look) { looks[static_cast<size_t>(port)].push_back(look); });
    }
    std::string path = ::flashery::testing::WriteSamplePackage(home.path(), {blImage, nkImage, systemImage});
    ASSERT_FALSE(path.empty());
    std::string error;
    ASSERT_TRUE(::flashery::testing::AcceptSamplePackage(app, station(), path, error)) << error;
    window->frame().show();
  }

  WindowStation& station() { return window->station(); }
  PortPanelsView& view() { return window->view(); }
  PortPanel* Panel(int p) { return view().panel(p); }
  bool Bound(int p) { return !Panel(p)->serial()->text().isEmpty(); }
  bool Active(int p) { return station().jobs().JobActive(p); }
  // The colour the port's last ended job gave its panel (NoHandset: none).
  PanelLook EndLook(int p) {
    for (auto it = looks[static_cast<size_t>(p)].rbegin(); it != looks[static_cast<size_t>(p)].rend(); ++it)
      if (*it == PanelLook::Succeeded || *it == PanelLook::Failed) return *it;
    return PanelLook::NoHandset;
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
  // The summary line of the port (1-based in the record) or "".
  std::string Summary(int port) {
    std::string json = ReadWholeFile(home / "run.json").value_or("");
    std::string key = "{\"type\":\"summary\",\"port\":" + std::to_string(port + 1) + ",";
    size_t at = json.rfind(key);
    return at == std::string::npos ? "" : json.substr(at, json.find('\n', at) - at);
  }
  std::string Status(int p) { return Utf8(Panel(p)->status()->text()); }
  std::string Utf8Detail(int p) { return Utf8(Panel(p)->detail()->text()); }
  void CloseWindow() {
    QObject::connect(&window->frame(), &MainFrame::closedForGood, [this] { closed = true; });
    window->frame().close();
    EXPECT_TRUE(PumpUntil([&] { return closed; }));
  }
};

TEST(StationWindow, AutoStartServesEachNewUnitOnItsSocketsPortWithoutAClick) {
  SimStation s;
  ASSERT_TRUE(WriteWholeFile(s.home / "downtoolcfg.ini",
                             "[Station]\r\nautoStart=1\r\n[PortMap]\r\nport1=1-1.2\r\nport2=1-1.1\r\n"));
  s.Start({"--count", "2", "--units", "2", "--usb-prefix", "1-1.", "--unit-gap-ms", "300"});
  // Every unit is written, the second of each socket once the first left.
  auto count = [&](int p, PanelLook look) {
    const auto& l = s.looks[static_cast<size_t>(p)];
    return std::count(l.begin(), l.end(), look);
  };
  ASSERT_TRUE(PumpUntil([&] {
    return count(0, PanelLook::Succeeded) == 2 && count(1, PanelLook::Succeeded) == 2 && !s.Active(0) && !s.Active(1);
  }, 20000)) << count(0, PanelLook::Succeeded) << count(0, PanelLook::Failed) << count(0, PanelLook::Running) << " "
             << count(1, PanelLook::Succeeded) << count(1, PanelLook::Failed) << count(1, PanelLook::Running) << " "
             << Utf8(s.Panel(0)->serial()->text()) << " | " << Utf8(s.Panel(1)->serial()->text()) << "\n"
             << ReadWholeFile(s.home / "run.txt").value_or("");
  EXPECT_EQ(Utf8(s.Panel(0)->serial()->text()), "SIM0002-U2");  // socket 2's second unit
  EXPECT_EQ(Utf8(s.Panel(1)->serial()->text()), "SIM0001-U2");
  for (const char* serial : {"SIM0001", "SIM0002", "SIM0001-U2", "SIM0002-U2"})
    EXPECT_TRUE(s.HandsetStored(serial, s.systemImage)) << serial;
  // The last units stay on the bus, finished: they are not started again.
  QElapsedTimer settle;
  settle.start();
  PumpUntil([&] { return settle.elapsed() > 1000; });
  for (int p = 0; p < 2; ++p) {
    EXPECT_EQ(count(p, PanelLook::Running), 2) << p;
    EXPECT_FALSE(s.Active(p));
  }
  EXPECT_TRUE(s.prompter.records().empty());
  s.CloseWindow();
}

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
  EXPECT_EQ(s.station().records().connectedCount(), 8u);
  EXPECT_EQ(s.view().fileInfoList()->rowCount(), 5);

  s.view().startAllButton()->click();
  ASSERT_TRUE(PumpUntil([&] {
    for (int p = 0; p < 8; ++p)
      if (s.Active(p)) return false;
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
  EXPECT_FALSE(s.station().monitorRunning());
}

// Each unit ends with the look, word and status line its outcome deserves,
// and the run record's summary says the same; a failed unit keeps its red
// panel and reason after its handset has gone.
TEST(StationWindow, EveryOutcomeShowsOnItsPanelAndInTheRunRecord) {
  struct Case {
    const char* name;
    std::vector<std::string> simArgs;
    bool stop;                 // the operator stops port 1 while it runs
    PanelLook look;
    const char* word;
    const char* result;        // in the record's summary
    const char* status;        // the panel's line; null: the record's reason, not empty
  } cases[] = {
      {"good", {"--count", "1"}, false, PanelLook::Succeeded, "PASS", "ok", nullptr},
      {"never returns", {"--count", "1", "--never-return"}, false, PanelLook::Failed, "FAIL", "failed",
       "The handset did not restart"},
      {"block refused too often", {"--count", "1", "--reject-block", "2:50@image4"}, false, PanelLook::Failed, "FAIL",
       "failed", nullptr},
      {"stopped", {"--count", "2", "--finish-busy-ms", "200000"}, true, PanelLook::Failed, "STOPPED", "stopped",
       "Stopped by the operator"},
      // Pulled out during the kernel: the failing command decides (before the
      // monitor may have seen the handset go), and the red stays after it.
      {"pulled mid-image", {"--count", "1", "--pull-at-block", "4"}, false, PanelLook::Failed, "FAIL", "failed",
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimStation s;
    s.Start(c.simArgs);
    ASSERT_TRUE(PumpUntil([&] { return s.Bound(0); }));
    EXPECT_FALSE(s.Panel(0)->stopButton()->isEnabled());
    s.Panel(0)->startButton()->click();
    EXPECT_TRUE(s.Panel(0)->stopButton()->isEnabled());
    EXPECT_EQ(s.Panel(0)->look(), PanelLook::Running);
    if (c.stop) {
      ASSERT_TRUE(PumpUntil([&] { return s.Bound(1); }));
      s.Panel(1)->startButton()->click();
      ASSERT_TRUE(PumpUntil([&] { return !s.Utf8Detail(0).empty(); }));
      s.Panel(0)->stopButton()->click();
    }
    ASSERT_TRUE(PumpUntil([&] { return !s.Active(0); }));
    if (c.stop) {
      EXPECT_TRUE(s.Active(1));  // the other port goes on
    }
    std::string summary = s.Summary(0);
    EXPECT_NE(summary.find(std::string("\"result\":\"") + c.result + "\""), std::string::npos) << summary;
    EXPECT_NE(summary.find("\"socket\":"), std::string::npos) << summary;
    EXPECT_EQ(s.Panel(0)->look(), c.look) << s.Status(0);
    EXPECT_EQ(Utf8(s.Panel(0)->resultWord()->text()), c.word);
    EXPECT_FALSE(s.Panel(0)->stopButton()->isEnabled());
    EXPECT_EQ(s.Utf8Detail(0).rfind("Time 00:", 0), 0u) << s.Utf8Detail(0);
    // The shift counts: a stop decides nothing.
    const char* counted = c.look == PanelLook::Succeeded ? "1 / 0 (100.0%)" : c.stop ? "0 / 0 (-)" : "0 / 1 (0.0%)";
    EXPECT_EQ(Utf8(s.Panel(0)->counts()->text()), counted);
    EXPECT_NE(Utf8(s.view().countsLine()->text()).find(counted), std::string::npos);
    EXPECT_FALSE(s.view().resetCountsButton()->isEnabled());  // the operator cannot reset them
    if (c.look == PanelLook::Succeeded) {
      EXPECT_EQ(summary.find("\"reason\""), std::string::npos) << summary;
    } else {
      std::string reason = c.status ? c.status : s.Status(0);
      EXPECT_FALSE(reason.empty());
      EXPECT_EQ(s.Status(0), reason);
      EXPECT_NE(summary.find("\"reason\":\"" + reason + "\""), std::string::npos) << summary;
    }
    if (std::string(c.name) == "never returns" || std::string(c.name) == "pulled mid-image") {
      // The handset is gone for good: the red panel and its reason stay.
      const std::string decided = s.Status(0);
      ASSERT_TRUE(PumpUntil([&] { return !s.station().records().Get(0).bound(); }));
      for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 10);
      EXPECT_EQ(s.Panel(0)->look(), PanelLook::Failed);
      EXPECT_EQ(s.Status(0), decided);
      EXPECT_FALSE(s.Panel(0)->serial()->text().isEmpty());
    }
    if (c.stop) {
      auto log = ReadWholeFile(s.home / "run.txt");
      ASSERT_TRUE(log);
      EXPECT_NE(log->find("SIM0001: Stopped by the operator "), std::string::npos) << *log;
      EXPECT_EQ(log->find("SIM0002: Stopped by the operator "), std::string::npos) << *log;
    }
  }
}

TEST(StationWindow, AStartThatWouldWriteNothingIsRefused) {
  SimStation s;
  s.Start({"--count", "1"});
  ASSERT_TRUE(PumpUntil([&] { return s.Bound(0); }));
  s.app.selection.bootloaderSelected = s.app.selection.kernelSelected = s.app.selection.systemSelected = 0;
  for (auto start : {+[](SimStation& st) { st.Panel(0)->startButton()->click(); },
                     +[](SimStation& st) { st.view().startAllButton()->click(); }}) {
    start(s);
    EXPECT_FALSE(s.Active(0));
    EXPECT_EQ(s.Panel(0)->look(), PanelLook::Bound);
  }
  auto said = s.prompter.records();
  ASSERT_EQ(said.size(), 2u);
  for (const auto& r : said) EXPECT_EQ(r.text, "Nothing to write to the handset: no ready image or file set is selected");
  EXPECT_EQ(s.Summary(0), "");  // no job ran
}

TEST(StationWindow, ClosingDuringDownloadsStopsTheJobsAtTheNextCommand) {
  SimStation s;
  // Slow handsets, so the jobs are surely still running at the close.
  s.Start({"--count", "3", "--finish-busy-ms", "200000"});
  ASSERT_TRUE(PumpUntil([&] { return s.Bound(0) && s.Bound(1) && s.Bound(2); }));
  s.view().OnStartAll();
  ASSERT_EQ(s.station().jobs().ActiveJobs(), 3);
  s.prompter.QueueAnswer(kAnswerYes);
  s.CloseWindow();
  EXPECT_EQ(s.station().jobs().ActiveJobs(), 0);
  ASSERT_EQ(s.prompter.records().size(), 1u);
  EXPECT_EQ(s.prompter.records()[0].buttons, PromptButtons::YesNo);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(s.station().records().State(p), kPortFinished);
  auto log = ReadWholeFile(s.home / "run.txt");
  ASSERT_TRUE(log);
  EXPECT_NE(log->find("they stop at their next command boundary"), std::string::npos);
  // One line per stopped port, and no failure that never happened.
  for (int p = 1; p <= 3; ++p)
    EXPECT_NE(log->find("SIM000" + std::to_string(p) + ": Stopped by the operator "), std::string::npos) << *log;
  size_t stops = 0;
  for (size_t at = log->find("Stopped by the operator"); at != std::string::npos;
       at = log->find("Stopped by the operator", at + 1))
    ++stops;
  EXPECT_EQ(stops, 3u);
  for (const char* never : {"not ready", "Command failed", "Image transfer aborted"})
    EXPECT_EQ(log->find(never), std::string::npos) << never << "\n" << *log;
}

}  // namespace
}  // namespace flashery
