#include <gtest/gtest.h>

#include "app/download_dialog_model.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

using P = ConfigPart;

TEST(DownloadDialogModel, OpensFromTheSelectionAndItsReadiness) {
  DownloadSelection s;
  s.kernelSelected = 1;
  s.packageReady = 1;
  s.resourcesSelected = 1;  // selected but not ready: unticked
  s.gpsReady = 1;           // ready but not selected: unticked
  DownloadDialogModel m(s);
  EXPECT_TRUE(m.line(P::Package).ticked);
  EXPECT_EQ(m.line(P::Package).text.textId, 102);
  EXPECT_EQ(s.packageJob, 2);
  EXPECT_FALSE(m.line(P::Resources).ticked);
  EXPECT_EQ(m.line(P::Resources).text.textId, 115);
  EXPECT_EQ(m.line(P::Gps).text.textId, 116);
  EXPECT_EQ(s.gpsJob, 0);
  EXPECT_EQ(m.LineColorRef(P::Package), 0x00FF00u);
  EXPECT_EQ(m.LineColorRef(P::Gps), 0x808080u);
  EXPECT_EQ(JobStateColorRef(1), 0x4080FFu);
  EXPECT_EQ(JobStateColorRef(3), 0x0000FFu);
}

TEST(DownloadDialogModel, TickCountFinishAndTheFlagsEachStepLeaves) {
  DownloadSelection s;
  DownloadDialogModel m(s);
  EXPECT_TRUE(m.Tick(P::Gps, true, false));
  EXPECT_EQ(s.gpsSelected, 1);
  EXPECT_EQ(s.gpsJob, 1);
  EXPECT_FALSE(m.line(P::Gps).boxEnabled);
  EXPECT_TRUE(m.AnyRunning());
  EXPECT_FALSE(m.folderButtonEnabled());
  TextTable t;
  t.LoadFrom(ProfileDocument::Parse("[Text]\n101=\"Checking GPS \"\n103=Checking resources\n109=Verifying\n"));
  m.CounterTick(P::Gps);
  EXPECT_EQ(m.LineText(P::Gps, t), "Checking GPS 0S...");  // shown first, then counted
  m.CounterTick(P::Gps);
  EXPECT_EQ(m.LineText(P::Gps, t), "Checking GPS 1S...");
  m.CounterTick(P::Resources);  // not running: nothing
  EXPECT_EQ(m.line(P::Resources).text.textId, 115);

  m.WorkerEnded(P::Gps, false, ScanText{12, ""});
  EXPECT_EQ(s.gpsJob, 3);
  EXPECT_EQ(s.gpsSelected, 0);
  EXPECT_EQ(s.gpsReady, 0);
  EXPECT_FALSE(m.line(P::Gps).ticked);
  EXPECT_TRUE(m.line(P::Gps).boxEnabled);
  EXPECT_EQ(m.line(P::Gps).text.textId, 12);
  EXPECT_FALSE(m.AnyRunning());

  // The package box sets the three image flags and the brand when the
  // program folder holds one; its counter has a leading blank.
  EXPECT_TRUE(m.Tick(P::Package, true, true));
  EXPECT_EQ(s.bootloaderSelected + s.kernelSelected + s.systemSelected, 3);
  EXPECT_EQ(s.brandSelected, 1);
  m.CounterTick(P::Package);
  EXPECT_EQ(m.LineText(P::Package, t), "Verifying 0S...");
  // A failure whose message went to a message box keeps the last line.
  m.WorkerEnded(P::Package, false, ScanText{});
  EXPECT_EQ(m.LineText(P::Package, t), "Verifying 0S...");
  EXPECT_EQ(s.bootloaderSelected + s.kernelSelected + s.systemSelected + s.brandSelected, 0);

  EXPECT_TRUE(m.Tick(P::Resources, true, false));
  m.WorkerEnded(P::Resources, true, ScanText{});
  EXPECT_EQ(s.resourcesReady, 1);
  EXPECT_EQ(s.resourcesJob, 2);
  EXPECT_EQ(m.line(P::Resources).text.textId, 4);
  // Unticked while ready: the flag goes, readiness stays, and ticking
  // again shows ready without a new check.
  EXPECT_FALSE(m.Tick(P::Resources, false, false));
  EXPECT_EQ(s.resourcesSelected, 0);
  EXPECT_EQ(s.resourcesReady, 1);
  EXPECT_EQ(m.line(P::Resources).text.textId, 115);
  EXPECT_FALSE(m.Tick(P::Resources, true, false));
  EXPECT_EQ(m.line(P::Resources).text.textId, 4);
  EXPECT_EQ(s.resourcesJob, 2);

  m.ApplyOk();
  EXPECT_EQ(s.resourcesSelected, 1);
  EXPECT_EQ(s.gpsSelected, 0);
  EXPECT_EQ(s.systemSelected, 0);
}

TEST(DownloadDialogModel, ChoosingAFolderResetsEverythingAndNotesMissingParts) {
  testing::TempDir dir;
  ASSERT_TRUE(MakeDirectories(dir / "res/gps"));
  ASSERT_TRUE(WriteWholeFile(dir / "res/a.qfm", "x"));
  FolderProbe probe = ProbeResourceFolder(dir / "res");
  EXPECT_TRUE(probe.package);  // names matched without regard to case
  EXPECT_TRUE(probe.gps);
  EXPECT_FALSE(probe.resources);
  EXPECT_FALSE(probe.brand);
  EXPECT_FALSE(ProbeResourceFolder(dir / "missing").gps);

  DownloadSelection s;
  s.systemSelected = s.gpsSelected = s.brandSelected = 1;
  s.packageReady = s.gpsReady = 1;
  DownloadDialogModel m(s);
  ASSERT_EQ(m.line(P::Package).text.textId, 102);
  m.FolderChosen(dir / "res", probe);
  EXPECT_EQ(s.resourceFolder, dir / "res");
  EXPECT_EQ(s.packageReady + s.resourcesReady + s.gpsReady, 0);
  EXPECT_EQ(s.systemSelected + s.gpsSelected + s.brandSelected, 0);
  EXPECT_EQ(m.line(P::Package).text.textId, 114);  // no longer green for the old folder
  EXPECT_EQ(s.packageJob, 0);
  EXPECT_EQ(m.line(P::Resources).text.textId, 17);
  EXPECT_EQ(m.line(P::Gps).text.textId, 116);
  EXPECT_EQ(m.brandNote(), 24);
  EXPECT_FALSE(m.line(P::Gps).ticked);

  // While a check runs the folder stays.
  ASSERT_TRUE(m.Tick(P::Gps, true, false));
  m.FolderChosen(dir / "other", FolderProbe{});
  EXPECT_EQ(s.resourceFolder, dir / "res");
  EXPECT_EQ(s.gpsJob, 1);
}

}  // namespace
}  // namespace flashery
