#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "filesets/tests/scan_fixture.h"
#include "platform/profile.h"
#include "ui/download_file_dialog.h"
#include "ui/qt_text.h"
#include "ui/tests/modal_answer.h"
#include "ui/tests/sample_package.h"
#include "ui/tests/station_fixture.h"

namespace flashery {
namespace {

using testing::PumpUntil;
using P = ConfigPart;

// Answers OK at once, except a question (OK/Cancel), which waits until the
// test releases it.
class GatedPrompter final : public Prompter {
 public:
  int Prompt(const std::string& text, const std::string&, PromptButtons buttons) override {
    std::unique_lock lock(m_);
    texts_.push_back(text);
    if (buttons != PromptButtons::Ok) {
      asking_ = true;
      cv_.wait(lock, [&] { return released_; });
      asking_ = false;
    }
    return kAnswerOk;
  }
  void Release() {
    std::lock_guard lock(m_);
    released_ = true;
    cv_.notify_all();
  }
  bool asking() {
    std::lock_guard lock(m_);
    return asking_;
  }
  std::vector<std::string> texts() {
    std::lock_guard lock(m_);
    return texts_;
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::string> texts_;
  bool released_ = false, asking_ = false;
};

struct DialogFixture {
  ::flashery::testing::TempDir home;
  FakeClock clock;
  GatedPrompter prompter;
  Application app{clock, prompter};
  std::string res = home / "res";
  std::shared_ptr<const QfmPackage> published;
  int publications = 0;

  DialogFixture() {
    app.appFolder = home / "app";
    MakeDirectories(app.appFolder);
    EXPECT_TRUE(::flashery::testing::InstallLanguageFile(app.appFolder, "English.lng"));
    app.language.lngPath = app.appFolder + "/English.lng";
    app.texts.Load(app.language.lngPath);
    app.userRole = UserRole::Administrator;
    MakeDirectories(res);
    EXPECT_FALSE(::flashery::testing::WriteSamplePackage(
                     res, {::flashery::testing::PatternBytes(5000, 1), ::flashery::testing::PatternBytes(9000, 2),
                           ::flashery::testing::PatternBytes(20000, 3)})
                     .empty());
    ::flashery::testing::MakeResourcesSet(res + "/内置资源");
    ::flashery::testing::MakeGpsSet(res);
  }
  std::unique_ptr<DownloadFileDialog> Open(int runningJobs = 0) {
    auto d = std::make_unique<DownloadFileDialog>(app, runningJobs, [this](std::shared_ptr<const QfmPackage> p) {
      published = std::move(p);
      ++publications;
    });
    d->pickFolder = [this] { return res; };
    d->show();
    return d;
  }
  static bool Idle(DownloadFileDialog& d) { return !d.model().AnyRunning(); }
  static std::string Line(DownloadFileDialog& d, P p) { return Utf8(d.statusLine(p)->text()); }
  static QColor Colour(DownloadFileDialog& d, P p) { return d.statusLine(p)->palette().color(QPalette::Window); }
};

TEST(DownloadFileDialog, EveryCheckSucceedsAndOkSavesTheChoice) {
  DialogFixture f;
  auto d = f.Open();
  EXPECT_EQ(DialogFixture::Line(*d, P::Package), "QFM package not selected");
  EXPECT_EQ(Utf8(d->windowTitle()), "Configure download files");
  EXPECT_TRUE(d->formatList()->isEnabled());
  EXPECT_FALSE(d->jobsNote()->isVisible());
  d->ChooseFolder();
  EXPECT_EQ(Utf8(d->folderEdit()->text()), f.res);
  for (P p : {P::Package, P::Resources, P::Gps}) d->box(p)->click();
  EXPECT_TRUE(d->model().AnyRunning());  // until their ends reach this thread
  EXPECT_FALSE(d->box(P::Package)->isEnabled());
  EXPECT_FALSE(d->folderButton()->isEnabled());
  ASSERT_TRUE(PumpUntil([&] { return DialogFixture::Idle(*d); }));
  EXPECT_EQ(DialogFixture::Line(*d, P::Package), "QFM package verified, ready to download");
  EXPECT_EQ(DialogFixture::Line(*d, P::Resources), "Built-in resources checked, ready to download");
  EXPECT_EQ(DialogFixture::Line(*d, P::Gps), "GPS data checked, ready to download");
  for (P p : {P::Package, P::Resources, P::Gps}) {
    EXPECT_TRUE(d->box(p)->isChecked());
    EXPECT_TRUE(d->box(p)->isEnabled());
    EXPECT_EQ(DialogFixture::Colour(*d, p), QColor(0, 0xFF, 0));
  }
  EXPECT_EQ(f.publications, 0);  // the station takes the package on OK only
  EXPECT_EQ(f.app.selection.packageReady + f.app.selection.resourcesReady + f.app.selection.gpsReady, 3);
  EXPECT_GT(f.app.selection.resourcesFolderSize, 0u);

  d->formatList()->setCurrentIndex(1);
  emit d->formatList()->activated(1);
  d->accept();
  EXPECT_EQ(d->result(), QDialog::Accepted);
  ASSERT_TRUE(f.published);
  EXPECT_EQ(f.published->productName, "T745");
  DownloadSelection saved;
  LoadSettings(f.app.appFolder, saved);
  EXPECT_EQ(saved.packagePath, f.published->packagePath);
  EXPECT_EQ(saved.systemSelected, 1);
  EXPECT_EQ(saved.resourcesSelected, 1);
  EXPECT_EQ(saved.gpsSelected, 1);
  EXPECT_EQ(saved.resourceFolder, f.res);
  EXPECT_EQ(saved.formatMode, 0);
  EXPECT_EQ(saved.packageReady, 0);  // readiness is never stored
}

TEST(DownloadFileDialog, EachSetFailsWithItsText) {
  struct Case {
    const char* name;
    std::function<void(const std::string& res)> spoil;
    P part;
    std::string line;
  } cases[] = {
      {"two packages", [](const std::string& r) { WriteWholeFile(r + "/B.qfm", "x"); }, P::Package,
       "The resource folder must hold exactly one QFM package"},
      {"damaged package",
       [](const std::string& r) {
         std::string bytes = ReadWholeFile(r + "/T745.QFM").value_or("");
         bytes[bytes.size() - 10] ^= 0x55;
         WriteWholeFile(r + "/T745.QFM", bytes);
       },
       P::Package, "QFM package rejected (check failed or extension section not configured)"},
      {"no reference list", [](const std::string& r) { RemoveTree(r + "/内置资源/resfile_pc.txt"); }, P::Resources,
       "File list resfile_pc.txt is missing"},
      {"changed file", [](const std::string& r) { WriteWholeFile(r + "/内置资源/我的影片/m.avi", "12345678X"); },
       P::Resources, "Resource files differ from their file list"},
      {"no GPS folder", [](const std::string& r) { RemoveTree(r + "/GPS"); }, P::Gps, "GPS folder not found"},
  };
  for (const Case& c : cases) {
    DialogFixture f;
    c.spoil(f.res);
    auto d = f.Open();
    d->ChooseFolder();
    if (c.part == P::Gps) {
      EXPECT_EQ(DialogFixture::Line(*d, P::Gps), "No GPS folder in the resource folder");
    }
    d->box(c.part)->click();
    ASSERT_TRUE(PumpUntil([&] { return DialogFixture::Idle(*d); })) << c.name;
    EXPECT_EQ(DialogFixture::Line(*d, c.part), c.line) << c.name;
    EXPECT_FALSE(d->box(c.part)->isChecked()) << c.name;
    EXPECT_TRUE(d->box(c.part)->isEnabled()) << c.name;
    EXPECT_EQ(DialogFixture::Colour(*d, c.part), QColor(0xFF, 0, 0)) << c.name;
    if (c.part == P::Package) {
      EXPECT_EQ(f.app.selection.packageReady, 0);
      EXPECT_EQ(f.app.selection.systemSelected, 0);
      d->accept();
      EXPECT_EQ(f.publications, 1);
      EXPECT_FALSE(f.published);  // nothing is written from a package that failed
    }
  }
}

TEST(DownloadFileDialog, CancelRestoresTheSelectionItOpenedWith) {
  DialogFixture f;
  f.app.selection.resourceFolder = "/earlier";
  f.app.selection.packagePath = "/earlier/A.QFM";
  f.app.selection.systemSelected = 1;
  f.app.selection.packageReady = 1;
  f.app.selection.gpsSelected = 1;
  f.app.selection.gpsReady = 1;
  auto d = f.Open();
  d->ChooseFolder();  // resets readiness and ticks for the new folder
  d->box(P::Package)->click();
  ASSERT_TRUE(PumpUntil([&] { return DialogFixture::Idle(*d); }));
  EXPECT_EQ(f.app.selection.resourceFolder, f.res);
  d->reject();
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_EQ(f.app.selection.resourceFolder, "/earlier");
  EXPECT_EQ(f.app.selection.packagePath, "/earlier/A.QFM");
  EXPECT_EQ(f.app.selection.systemSelected, 1);
  EXPECT_EQ(f.app.selection.packageReady, 1);
  EXPECT_EQ(f.app.selection.gpsSelected, 1);
  EXPECT_EQ(f.app.selection.gpsReady, 1);
  EXPECT_EQ(f.publications, 0);  // the package checked meanwhile never reaches the station
  EXPECT_FALSE(PathExists(f.app.appFolder + "/downtoolcfg.ini"));
  // Opened again, the dialog shows the restored choice.
  auto again = f.Open();
  EXPECT_EQ(Utf8(again->folderEdit()->text()), "/earlier");
  again->reject();
}

TEST(DownloadFileDialog, ClosingIsRefusedWhileACheckRuns) {
  DialogFixture f;
  RemoveTree(f.res + "/GPS/cdrom");  // the GPS check asks whether to go on without it
  f.app.userRole = UserRole::Operator;
  auto d = f.Open(2);
  EXPECT_FALSE(d->formatList()->isEnabled());
  EXPECT_TRUE(d->jobsNote()->isVisible());
  d->ChooseFolder();
  d->box(P::Gps)->click();
  ASSERT_TRUE(PumpUntil([&] { return f.prompter.asking(); }));
  EXPECT_FALSE(d->folderButton()->isEnabled());
  d->accept();
  d->reject();
  d->close();
  EXPECT_TRUE(d->isVisible());
  auto texts = f.prompter.texts();
  ASSERT_EQ(texts.size(), 4u);
  for (size_t i = 1; i < 4; ++i)
    EXPECT_EQ(texts[i], "A file check is still running. Please wait until it has finished.");
  f.prompter.Release();
  ASSERT_TRUE(PumpUntil([&] { return DialogFixture::Idle(*d); }));
  EXPECT_EQ(DialogFixture::Line(*d, P::Gps), "GPS data checked, ready to download");
  d->reject();
  EXPECT_EQ(d->result(), QDialog::Rejected);
  EXPECT_FALSE(PathExists(f.app.appFolder + "/downtoolcfg.ini"));  // cancel saves nothing
}

}  // namespace
}  // namespace flashery
