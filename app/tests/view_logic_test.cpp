#include <gtest/gtest.h>

#include "app/file_info_rows.h"
#include "app/view_logic.h"
#include "platform/profile.h"

namespace flashery {
namespace {

TEST(PanelColours, ColorRefsHoldRedInTheLowByte) {
  EXPECT_EQ(RgbOfColorRef(PanelColorRef(PanelLook::Failed)), (Rgb{0xFA, 0, 0}));
  EXPECT_EQ(RgbOfColorRef(PanelColorRef(PanelLook::Bound)), (Rgb{0xC8, 0x96, 0x3C}));
}

TEST(StartDecisions, OnePortFromReadinessBindingAndRunningJob) {
  EXPECT_EQ(DecideStartPort(false, {true, false}), StartVerdict::AskToConfigure);
  EXPECT_EQ(DecideStartPort(false, {false, false}), StartVerdict::AskToConfigure);
  EXPECT_EQ(DecideStartPort(true, {false, false}), StartVerdict::NoHandset);
  EXPECT_EQ(DecideStartPort(true, {true, true}), StartVerdict::AlreadyRunning);
  EXPECT_EQ(DecideStartPort(true, {true, false}), StartVerdict::Start);
  EXPECT_EQ(DecideStartPort(true, {true, false}, false), StartVerdict::NothingToWrite);
  EXPECT_EQ(DecideStartPort(true, {false, false}, false), StartVerdict::NoHandset);
  EXPECT_EQ(PortName(0), "port 1");
  EXPECT_EQ(PortName(7), "port 8");
}

TEST(StartDecisions, StartAllTakesTheBoundFreePortsOnly) {
  using P = PortSnapshot;
  std::array<P, 8> none{};
  EXPECT_EQ(PlanStartAll(false, none).verdict, StartVerdict::AskToConfigure);
  EXPECT_EQ(PlanStartAll(true, none).verdict, StartVerdict::NoHandset);

  std::array<P, 8> three{P{true, false}, P{true, false}, P{true, false}};
  auto plan = PlanStartAll(true, three);
  EXPECT_EQ(plan.verdict, StartVerdict::Start);
  EXPECT_EQ(plan.ports, (std::vector<int>{0, 1, 2}));

  // Port 2 was unplugged, port 4 runs, port 6 has written its handset: ports
  // 1, 3 and 8 start.
  std::array<P, 8> mixed{P{true, false}, P{false, false}, P{true, false},       P{true, true},
                         P{},            P{true, false, true}, P{},             P{true, false}};
  EXPECT_EQ(PlanStartAll(true, mixed).ports, (std::vector<int>{0, 2, 7}));
  // A single start may write a finished handset again.
  EXPECT_EQ(DecideStartPort(true, P{true, false, true}), StartVerdict::Start);

  std::array<P, 8> allRunning{P{true, true}, P{true, false, true}};
  EXPECT_EQ(PlanStartAll(true, allRunning).verdict, StartVerdict::NothingFree);
  EXPECT_TRUE(PlanStartAll(true, allRunning).ports.empty());
}

TEST(StartDecisions, ButtonsFollowStartsAndEnds) {
  ButtonStates b;
  EXPECT_FALSE(b.stop[7]);
  b = ButtonsAfterStart(b, 7);
  EXPECT_FALSE(b.port[7]);
  EXPECT_TRUE(b.stop[7]);
  EXPECT_FALSE(b.startAll);
  b = ButtonsAfterStart(b, 2);
  b = ButtonsAfterJobEnded(b, 7);
  EXPECT_TRUE(b.port[7]);
  EXPECT_FALSE(b.stop[7]);
  EXPECT_TRUE(b.stop[2]);
  EXPECT_TRUE(b.startAll);  // enabled by any end, while port 3 still runs
  EXPECT_FALSE(b.port[2]);
  b = ButtonsAfterJobEnded(b, 99);  // an out-of-range port changes no port button
  EXPECT_FALSE(b.port[2]);
}

TEST(PanelUpdates, MonitorChangesOnlyWhatDiffers) {
  auto bound = PanelChangeForMonitor(true, "", "0123456789abcdef");
  ASSERT_TRUE(bound);
  EXPECT_EQ(bound->look, PanelLook::Bound);
  EXPECT_EQ(bound->serial, "0123456789abcdef");
  EXPECT_EQ(bound->statusTextId, 40);
  auto gone = PanelChangeForMonitor(false, "0123456789abcdef", "");
  ASSERT_TRUE(gone);
  EXPECT_EQ(gone->look, PanelLook::NoHandset);
  EXPECT_EQ(gone->serial, "");
  EXPECT_EQ(gone->statusTextId, 39);
  EXPECT_FALSE(PanelChangeForMonitor(false, "", ""));  // already empty: left alone
  // A finished job's result stays while its handset leaves or comes back;
  // another handset replaces it.
  EXPECT_FALSE(PanelChangeForMonitor(false, "A1", "", true));
  EXPECT_FALSE(PanelChangeForMonitor(true, "A1", "A1", true));
  auto other = PanelChangeForMonitor(true, "A1", "B2", true);
  ASSERT_TRUE(other);
  EXPECT_EQ(other->look, PanelLook::Bound);
  EXPECT_EQ(other->serial, "B2");
}

TEST(Languages, QtTranslationsFollowTheActiveLanguage) {
  for (auto [id, locale] : {std::pair{2052, "zh_CN"}, {1028, "zh_TW"}, {3076, "zh_TW"}, {1033, ""}, {0, ""}})
    EXPECT_EQ(QtLocaleOfLanguage(id), locale) << id;
}

TEST(PanelUpdates, AFinishedPanelShowsTheDecidingReason) {
  struct Case {
    JobResult result;
    const char* reason;
    PanelLook look;
    const char* status;
  } cases[] = {
      {JobResult::Ok, "", PanelLook::Succeeded, "last"},
      {JobResult::Failed, "block refused too often", PanelLook::Failed, "block refused too often"},
      {JobResult::Failed, "", PanelLook::Failed, "last"},
      {JobResult::Stopped, "Stopped by the operator", PanelLook::Failed, "Stopped by the operator"},
  };
  for (const Case& c : cases) {
    JobEnd end;
    end.result = c.result;
    end.reason = c.reason;
    EXPECT_EQ(LookAfterJob(c.result), c.look) << c.reason;
    EXPECT_EQ(StatusAfterJob(end, "last"), c.status) << c.reason;
  }
  EXPECT_NE(RgbOfColorRef(PanelColorRef(PanelLook::Running)), RgbOfColorRef(PanelColorRef(PanelLook::Bound)));
}

TextTable TableWithLabels() {
  TextTable t;
  t.LoadFrom(ProfileDocument::Parse("[Text]\n136=\"File: \"\n137=\"Model: \"\n138=Package size:\n"));
  return t;
}

PackageFacts SamplePackage() {
  PackageFacts p;
  p.productName = "T745";
  p.infoText = "Version 1.2 System 4.0";
  p.packageSize = 5 * 1024 * 1024;
  p.bootloader = {"u-boot.bin", 2047, true};
  p.xloader = {"MLO", 1024, true};
  p.kernel = {"zImage", 3 * 1024 * 1024, true};
  p.env = {"env.txt", 10, true};
  p.system = {"system.img", 100 * 1024, true};
  p.userdata = {"userdata.img", 0, true};
  return p;
}

TEST(FileInfoRows, EveryRowWithSizesInKilobytes) {
  DownloadSelection s;
  s.packagePath = "/res/release\\T745_v2.QFM";
  s.bootloaderSelected = s.kernelSelected = s.systemSelected = 1;
  s.gpsSelected = s.resourcesSelected = s.brandSelected = 1;
  s.gpsFolderSize = 0;
  s.resourcesFolderSize = 1023;
  s.brandFolderSize = 1024;
  auto rows = FileInfoRows(s, SamplePackage(), TableWithLabels());
  std::vector<FileInfoRow> want = {
      {"0", "Model: T745", "File: T745_v2.QFM", ""},
      {"1", "QFM file", "Version 1.2 System 4.0", "Package size:\t5121KB"},
      {"2", "Bootloader ", "u-boot.bin", "u_boot file:  2KB，X_loader file:  2KB"},
      {"3", "kernel", "zImage", "kernel file:\t3073KB，Env.txt file:\t 1KB"},
      {"4", "system file", "System version:system.img", "System:\t101KB，Userdata:\t 1KB"},
      {"5", "GPS file", "GPS file", "GPS file:\t 1KB"},
      {"6", "resources file", "resources file", "resources file:\t 1KB"},
      {"7", "Quillon file", "Quillon file", "Quillon file:\t 2KB"},
  };
  EXPECT_EQ(rows, want);
}

TEST(FileInfoRows, AbsentSectionsAndGapsInTheSelection) {
  DownloadSelection s;
  EXPECT_TRUE(FileInfoRows(s, SamplePackage(), TableWithLabels()).empty());  // no package chosen

  s.packagePath = "a.qfm";
  s.kernelSelected = 1;
  s.systemSelected = 1;
  PackageFacts p = SamplePackage();
  p.kernel.present = false;
  p.env.present = false;
  p.userdata.present = false;
  auto rows = FileInfoRows(s, p, TextTable{});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (FileInfoRow{"0", "T745", "a.qfm", ""}));  // no language file: bare values
  EXPECT_EQ(rows[1], (FileInfoRow{"1", "kernel", "zImage", "kernel"}));
  EXPECT_EQ(rows[2], (FileInfoRow{"2", "system file", "system file", "system file"}));

  s.kernelSelected = 0;
  s.systemSelected = 0;
  s.bootloaderSelected = 1;
  p.bootloader.present = false;
  p.xloader.present = true;
  rows = FileInfoRows(s, p, TextTable{});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2].size, "Bootloader ，X_loader file:  2KB");
  EXPECT_EQ(PathFileName("/a/b/c.QFM"), "c.QFM");
  EXPECT_EQ(PathFileName("c.QFM"), "c.QFM");
}

}  // namespace
}  // namespace flashery
