#include <gtest/gtest.h>

#include <thread>

#include "ui/gui_port_view.h"
#include "ui/port_panels_view.h"
#include "ui/qt_text.h"
#include "ui/tests/modal_answer.h"
#include "ui/tests/station_fixture.h"

namespace flashery {
namespace {

using testing::BoundRecord;
using testing::FakeJobRunner;
using testing::PumpUntil;
using testing::TestStation;

QColor ColorOf(PanelLook look) {
  Rgb c = RgbOfColorRef(PanelColorRef(look));
  return QColor(c.r, c.g, c.b);
}

struct ViewFixture : TestStation {
  PortRecordTable records;
  FakeJobRunner jobs;
  PortPanelsView view{app, records, jobs};
  int configOpened = 0;

  ViewFixture() {
    EXPECT_TRUE(testing::InstallLanguageFile(home.path(), "English.lng"));
    app.language.lngPath = home / "English.lng";
    app.texts.Load(app.language.lngPath);
    view.openDownloadConfig = [this] {
      ++configOpened;
      return false;
    };
    view.show();
  }
  std::string Status(int p) { return Utf8(view.panel(p)->status()->text()); }
};

TEST(PortPanelsView, FirstShowingRetitlesAndSetsUpEveryPanel) {
  ViewFixture f;
  EXPECT_TRUE(f.view.initialised());
  EXPECT_EQ(Utf8(f.view.panel(0)->title()), "Port 1");
  EXPECT_EQ(Utf8(f.view.panel(7)->startButton()->text()), "Start");
  EXPECT_EQ(Utf8(f.view.startAllButton()->text()), "Start all");
  EXPECT_EQ(Utf8(f.view.fileInfoList()->horizontalHeaderItem(0)->text()), "No.");
  EXPECT_EQ(Utf8(f.view.fileInfoList()->horizontalHeaderItem(3)->text()), "Size");
  EXPECT_EQ(f.app.selection.formatMode, 1);
  for (int p = 0; p < 8; ++p) {
    EXPECT_EQ(f.view.panel(p)->progress()->maximum(), 32700);
    EXPECT_EQ(f.Status(p), " (no handset connected)");
    EXPECT_EQ(f.view.panel(p)->status()->backgroundColor(), ColorOf(PanelLook::NoHandset));
  }
}

TEST(PortPanelsView, MonitorUpdatesBindAndEmptyThePanels) {
  ViewFixture f;
  f.records.Set(2, BoundRecord("0123456789abcdef"));
  f.view.UpdatePortPanel(2, true);
  EXPECT_EQ(Utf8(f.view.panel(2)->serial()->text()), "0123456789abcdef");
  EXPECT_EQ(f.Status(2), "Handset connected, ready to download");
  EXPECT_EQ(f.view.panel(2)->status()->backgroundColor(), ColorOf(PanelLook::Bound));

  // The handset left while the update travelled: the panel shows it gone.
  f.records.Set(3, PortRecord{});
  f.view.UpdatePortPanel(3, true);
  EXPECT_TRUE(f.view.panel(3)->serial()->text().isEmpty());
  EXPECT_EQ(f.view.panel(3)->status()->backgroundColor(), ColorOf(PanelLook::NoHandset));

  f.records.Set(2, PortRecord{});
  f.view.UpdatePortPanel(2, false);
  EXPECT_TRUE(f.view.panel(2)->serial()->text().isEmpty());
  EXPECT_EQ(f.Status(2), " (no handset connected)");
  EXPECT_EQ(f.view.panel(2)->status()->backgroundColor(), ColorOf(PanelLook::NoHandset));
  f.view.UpdatePortPanel(-1, true);  // out of range: ignored
  f.view.UpdatePortPanel(8, false);
}

TEST(PortPanelsView, StartRefusedWithoutConfigurationOrHandset) {
  ViewFixture f;
  f.view.OnStartPort(2);
  ASSERT_EQ(f.prompter.records().size(), 1u);
  EXPECT_EQ(f.prompter.records()[0].text, "No files are ready for download. Please configure the download files first.");
  EXPECT_EQ(f.configOpened, 1);

  f.app.selection.packageReady = 1;  // one readiness flag suffices
  f.view.OnStartPort(2);
  ASSERT_EQ(f.prompter.records().size(), 2u);
  EXPECT_EQ(f.prompter.records()[1].text, "port 3 (no handset connected)");
  f.view.OnStartAll();
  ASSERT_EQ(f.prompter.records().size(), 3u);
  EXPECT_EQ(f.prompter.records()[2].text, " (no handset connected)");
  EXPECT_TRUE(f.jobs.started.empty());

  // A standard user's configuration command does nothing.
  f.app.userRole = UserRole::Operator;
  f.view.OnDownloadConfig();
  EXPECT_EQ(f.configOpened, 1);
  f.app.userRole = UserRole::Administrator;
  f.view.OnDownloadConfig();
  EXPECT_EQ(f.configOpened, 2);
}

TEST(PortPanelsView, OneStartAndTheJobsEndsColourThePanel) {
  ViewFixture f;
  f.app.selection.gpsReady = 1;
  f.records.Set(7, BoundRecord("SIM0008"));
  f.view.UpdatePortPanel(7, true);
  f.view.panel(7)->startButton()->click();
  EXPECT_EQ(f.jobs.started, (std::vector<int>{7}));
  EXPECT_EQ(f.records.State(7), kPortRunning);
  EXPECT_FALSE(f.view.panel(7)->startButton()->isEnabled());
  EXPECT_FALSE(f.view.startAllButton()->isEnabled());
  EXPECT_EQ(f.view.panel(7)->status()->backgroundColor(), ColorOf(PanelLook::Running));

  f.view.panel(7)->startButton()->click();  // disabled: no second job
  f.view.OnStartPort(7);                    // and the handler refuses too
  EXPECT_EQ(f.jobs.started.size(), 1u);

  f.view.ShowProgress(7, 40000);  // beyond the scale: held at its end
  EXPECT_EQ(f.view.panel(7)->progress()->value(), 32700);
  f.view.ShowStatusText(7, "Download successful, time used:00:00:07");
  f.records.SetState(7, kPortFinished);
  f.jobs.active[7] = false;
  f.view.OnJobEnded(7, true);
  EXPECT_EQ(f.view.panel(7)->status()->backgroundColor(), ColorOf(PanelLook::Succeeded));
  EXPECT_EQ(f.view.panel(7)->progress()->value(), 32700);  // the job's own last report resets it
  EXPECT_TRUE(f.view.panel(7)->startButton()->isEnabled());
  EXPECT_TRUE(f.view.startAllButton()->isEnabled());

  f.view.OnStartPort(7);
  f.view.ShowProgress(7, 900);
  f.view.OnJobEnded(7, false);
  EXPECT_EQ(f.view.panel(7)->status()->backgroundColor(), ColorOf(PanelLook::Failed));
  EXPECT_EQ(f.view.panel(7)->progress()->value(), 0);
  EXPECT_EQ(f.Status(7), "Download successful, time used:00:00:07");  // the last text stays

  // A job that cannot be started shows the port failed and frees it.
  f.records.SetState(7, kPortFinished);
  f.jobs.active[7] = false;
  f.jobs.refuse = true;
  f.view.OnStartPort(7);
  EXPECT_EQ(f.records.State(7), kPortFinished);
  EXPECT_EQ(f.view.panel(7)->status()->backgroundColor(), ColorOf(PanelLook::Failed));
  EXPECT_TRUE(f.view.panel(7)->startButton()->isEnabled());
}

TEST(PortPanelsView, StartAllStartsBoundFreePortsOnly) {
  ViewFixture f;
  f.app.selection.resourcesReady = 1;
  for (int p : {0, 1, 2, 4}) f.records.Set(p, BoundRecord("SIM000" + std::to_string(p + 1)));
  f.view.OnStartPort(1);
  f.view.OnStartAll();
  EXPECT_EQ(f.jobs.started, (std::vector<int>{1, 0, 2, 4}));
  for (int p : {0, 1, 2, 4}) EXPECT_FALSE(f.view.panel(p)->startButton()->isEnabled());
  EXPECT_TRUE(f.view.panel(7)->startButton()->isEnabled());  // never touched
  f.view.OnStartAll();  // every bound port runs: nothing more
  EXPECT_EQ(f.jobs.started.size(), 4u);
  EXPECT_TRUE(f.prompter.records().empty());
}

TEST(PortPanelsView, FileInfoListShowsWhatWillBeWritten) {
  ViewFixture f;
  EXPECT_FALSE(f.view.RefreshFileInfo());
  EXPECT_EQ(f.view.fileInfoList()->rowCount(), 0);
  f.app.selection.packagePath = "/res/T745.QFM";
  f.app.selection.kernelSelected = 1;
  f.app.selection.resourcesSelected = 1;
  f.app.selection.resourcesFolderSize = 4096;
  f.view.packageFacts = [] {
    PackageFacts p;
    p.productName = "T745";
    p.kernel = {"zImage", 2048, true};
    return p;
  };
  EXPECT_TRUE(f.view.RefreshFileInfo());
  QTableWidget* list = f.view.fileInfoList();
  ASSERT_EQ(list->rowCount(), 3);
  EXPECT_EQ(Utf8(list->item(0, 1)->text()), "Model: T745");
  EXPECT_EQ(Utf8(list->item(0, 2)->text()), "File: T745.QFM");
  EXPECT_EQ(Utf8(list->item(1, 3)->text()), "kernel file:   3KB");
  EXPECT_EQ(Utf8(list->item(2, 0)->text()), "2");
  EXPECT_EQ(Utf8(list->item(2, 3)->text()), "resources file:   5KB");
}

// Workers report through the seam from their own threads while the GUI
// thread runs its event loop; every call returns once applied.
TEST(GuiPortView, WorkerCallsAreAppliedOnTheGuiThreadAndGuiCallsDirectly) {
  ViewFixture f;
  GuiPortView seam(&f.view);
  for (int p = 0; p < 8; ++p) f.records.Set(p, BoundRecord("SIM000" + std::to_string(p + 1)));
  seam.UpdatePortPanel(0, true);  // on the GUI thread: applied at once, no deadlock
  EXPECT_EQ(Utf8(f.view.panel(0)->serial()->text()), "SIM0001");

  std::atomic<int> finished{0};
  std::array<PanelLook, 8> seenAfterEnd{};
  std::vector<std::thread> workers;
  for (int p = 0; p < 8; ++p) {
    workers.emplace_back([&, p] {
      seam.UpdatePortPanel(p, true);
      for (uint32_t i = 0; i <= 200; ++i) {
        seam.SetStatusText(p, "step " + std::to_string(i));
        seam.SetProgress(p, i * 100);
      }
      seam.JobEnded(p, p % 2 == 0);
      // Synchronous: the panel has its colour when the call returns.
      seenAfterEnd[static_cast<size_t>(p)] = f.view.panel(p)->look();
      finished.fetch_add(1);
    });
  }
  EXPECT_TRUE(PumpUntil([&] { return finished.load() == 8; }));
  for (auto& w : workers) w.join();
  for (int p = 0; p < 8; ++p) {
    EXPECT_EQ(seenAfterEnd[static_cast<size_t>(p)], p % 2 == 0 ? PanelLook::Succeeded : PanelLook::Failed);
    EXPECT_EQ(Utf8(f.view.panel(p)->status()->text()), "step 200");
    EXPECT_EQ(f.view.panel(p)->progress()->value(), p % 2 == 0 ? 20000 : 0);
    EXPECT_EQ(f.view.panel(p)->status()->backgroundColor(),
              ColorOf(p % 2 == 0 ? PanelLook::Succeeded : PanelLook::Failed));
  }

  // Once closed, workers return at once and no widget changes, even while
  // the GUI thread is not serving events.
  seam.Close();
  std::thread late([&] {
    seam.SetStatusText(1, "after close");
    seam.JobEnded(1, true);
  });
  late.join();
  EXPECT_EQ(Utf8(f.view.panel(1)->status()->text()), "step 200");
  EXPECT_EQ(f.view.panel(1)->status()->backgroundColor(), ColorOf(PanelLook::Failed));
}

}  // namespace
}  // namespace flashery
