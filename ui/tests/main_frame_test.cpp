#include <gtest/gtest.h>

#include <QMessageBox>

#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>

#include "app/window_shutdown.h"
#include "platform/profile.h"
#include "ui/about_dialog.h"
#include "text/station_texts.h"
#include "ui/main_frame.h"
#include "ui/port_panels_view.h"
#include "ui/qt_text.h"
#include "ui/tests/modal_answer.h"
#include "ui/tests/station_fixture.h"

namespace flashery {
namespace {

using testing::FakeJobRunner;
using testing::PumpUntil;
using testing::TestStation;

std::vector<std::string> MenuTexts(QMenu* menu) {
  std::vector<std::string> out;
  for (QAction* a : menu->actions()) out.push_back(a->isSeparator() ? "-" : Utf8(a->text()));
  return out;
}

std::vector<std::string> BarTexts(MainFrame& frame) {
  std::vector<std::string> out;
  for (QAction* a : frame.menuBar()->actions()) out.push_back(Utf8(a->text()));
  return out;
}

struct FrameFixture : TestStation {
  PortRecordTable records;
  FakeJobRunner jobs;

  // Installs the shipped files plus a German file without form texts and
  // with an overlong menu text, and a file of language 0.
  void InstallLanguages(int currentLang) {
    ASSERT_TRUE(testing::InstallLanguageFile(home.path(), "English.lng"));
    ASSERT_TRUE(testing::InstallLanguageFile(home.path(), "简体中文.lng"));
    ASSERT_TRUE(WriteWholeFile(home / "Deutsch.lng", "[Language]\r\nLanguage=1031\r\n[128]\r\n|0=&Datei\r\n|3=" +
                                                         std::string(2000, 'h') + "\r\n"));
    ASSERT_TRUE(WriteWholeFile(home / "Broken.lng", "[Language]\r\nLanguage=0\r\n[128]\r\n|0=never\r\n"));
    ASSERT_TRUE(WriteProfileString(home / "downtoolcfg.ini", "Language", "currentLang", std::to_string(currentLang)));
    LoadStartupLanguage(home.path(), 2052, app.language);
  }
};

TEST(MainFrame, BuiltInMenuTitleAndAcceleratorsWithoutLanguageFiles) {
  FrameFixture f;
  f.app.userRole = UserRole::Operator;
  MainFrame frame(f.app, f.records, f.jobs);
  EXPECT_EQ(Utf8(frame.windowTitle()), "Operator: Standard user    Version：Flashery v1.10.00");
  EXPECT_EQ(BarTexts(frame), (std::vector<std::string>{"文件(&F)", "下载配置", "语言", "帮助(&H)"}));
  EXPECT_EQ(MenuTexts(frame.popupMenu(0)), (std::vector<std::string>{"-", "退出(&X)"}));
  EXPECT_EQ(MenuTexts(frame.popupMenu(2)), (std::vector<std::string>{"简体中文", "English"}));
  EXPECT_TRUE(frame.commandAction(kFirstLanguageCommand)->isChecked());
  EXPECT_EQ(f.app.texts.size(), 0u);  // no language file: an empty table, empty texts
  EXPECT_EQ(frame.findChildren<QShortcut*>().size(), 13u);
  EXPECT_FALSE(frame.commandAction(kCommandDownloadConfig)->isEnabled());  // not for the operator

  f.app.userRole = UserRole::Administrator;
  MainFrame admin(f.app, f.records, f.jobs);
  EXPECT_EQ(Utf8(admin.windowTitle()), "Operator: Administrator     Version：Flashery v1.10.00");
  EXPECT_TRUE(admin.commandAction(kCommandDownloadConfig)->isEnabled());
}

TEST(MainFrame, LanguageMenuFromFilesAndSwitchingRetitlesMenuAndForm) {
  FrameFixture f;
  f.InstallLanguages(1033);
  MainFrame frame(f.app, f.records, f.jobs);
  EXPECT_EQ(f.app.texts.Get(31), "No.");  // the table of the active file
  // Retitled at creation, since English is not the built-in language; the
  // first file of the listing (language 0) is skipped and adds no separator.
  EXPECT_EQ(BarTexts(frame), (std::vector<std::string>{"&File", "Download configuration", "Language", "&Help"}));
  EXPECT_EQ(MenuTexts(frame.popupMenu(2)), (std::vector<std::string>{"简体中文", "English", "Deutsch"}));
  EXPECT_TRUE(frame.commandAction(kFirstLanguageCommand + 1)->isChecked());

  // Before the form is shown a switch retitles only the menu.
  frame.OnLanguageCommand(kFirstLanguageCommand);
  EXPECT_EQ(BarTexts(frame), (std::vector<std::string>{"文件(&F)", "下载配置", "语言", "帮助(&H)"}));
  EXPECT_EQ(Utf8(frame.view()->panel(0)->title()), "第一端口");
  EXPECT_TRUE(frame.commandAction(kFirstLanguageCommand)->isChecked());
  EXPECT_FALSE(frame.commandAction(kFirstLanguageCommand + 1)->isChecked());
  EXPECT_EQ(GetProfileInt(f.home / "downtoolcfg.ini", "Language", "currentLang", 0), 2052);
  EXPECT_EQ(f.app.selection.currentLang, 2052);
  // Qt's own buttons follow (the system's Qt translations).
  auto noButton = [] {
    QMessageBox box(QMessageBox::Question, "", "", QMessageBox::Yes | QMessageBox::No);
    return Utf8(box.button(QMessageBox::No)->text());
  };
  EXPECT_EQ(noButton(), "否(&N)");
  EXPECT_EQ(f.app.texts.Get(station_text::kStopPort), "停止");  // no job runs: the table follows at once

  frame.show();
  frame.OnLanguageCommand(kFirstLanguageCommand + 1);
  EXPECT_EQ(Utf8(frame.view()->panel(0)->title()), "Port 1");
  EXPECT_EQ(Utf8(frame.view()->startAllButton()->text()), "Start all");
  EXPECT_EQ(frame.view()->panel(0)->font().family(), "WenQuanYi Micro Hei");
  EXPECT_EQ(GetProfileInt(f.home / "downtoolcfg.ini", "Language", "currentLang", 0), 1033);
  EXPECT_EQ(noButton(), "&No");
  EXPECT_EQ(Utf8(frame.view()->panel(0)->stopButton()->text()), "Stop");

  // A file without form texts leaves the form as it is; an overlong menu
  // text is cut to 1,023 bytes.
  frame.OnLanguageCommand(kFirstLanguageCommand + 2);
  EXPECT_EQ(BarTexts(frame)[0], "&Datei");
  EXPECT_EQ(BarTexts(frame)[3].size(), 1023u);
  EXPECT_EQ(BarTexts(frame)[1], "Download configuration");  // not in the file: left as it was
  EXPECT_EQ(Utf8(frame.view()->panel(0)->title()), "Port 1");
  EXPECT_EQ(f.app.language.languageId, 1031);

  // The file vanished: its id becomes 0, nothing is retitled.
  ASSERT_TRUE(RemoveTree(f.home / "English.lng"));
  frame.OnLanguageCommand(kFirstLanguageCommand + 1);
  EXPECT_EQ(f.app.language.languageId, 0);
  EXPECT_EQ(GetProfileInt(f.home / "downtoolcfg.ini", "Language", "currentLang", -1), 0);
  EXPECT_EQ(Utf8(frame.view()->panel(0)->title()), "Port 1");

  // Language commands arrive through the menu's actions too.
  frame.commandAction(kFirstLanguageCommand)->trigger();
  EXPECT_EQ(Utf8(frame.view()->panel(0)->title()), "第一端口");
  EXPECT_EQ(BarTexts(frame)[0], "文件(&F)");
}

TEST(MainFrame, UnknownLanguageInTheSettingsRunsWithBuiltInTexts) {
  FrameFixture f;
  f.InstallLanguages(4242);
  EXPECT_TRUE(f.app.language.lngPath.empty());
  MainFrame frame(f.app, f.records, f.jobs);
  frame.show();
  EXPECT_EQ(BarTexts(frame)[0], "文件(&F)");
  EXPECT_TRUE(frame.commandAction(kFirstLanguageCommand)->isChecked());
  EXPECT_EQ(Utf8(frame.view()->panel(4)->title()), "第五端口");
  EXPECT_EQ(Utf8(frame.view()->panel(0)->status()->text()), "");  // empty table: empty text 39
}

TEST(MainFrame, AboutBoxIsRetitledFromItsSection) {
  FrameFixture f;
  f.InstallLanguages(1033);
  MainFrame frame(f.app, f.records, f.jobs);
  std::string title, version;
  QTimer::singleShot(0, &frame, [&] {
    auto* about = qobject_cast<AboutDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(about, nullptr);
    title = Utf8(about->windowTitle());
    for (QLabel* l : about->findChildren<QLabel*>())
      if (l->text().startsWith("Flashery")) version = Utf8(l->text());
    about->accept();
  });
  frame.commandAction(kCommandAbout)->trigger();
  EXPECT_EQ(title, "About Flashery");
  EXPECT_EQ(version, "Flashery version 3.0");

  f.app.language = LanguageState{};  // no language file: the built-in texts
  AboutDialog builtIn(f.app.language);
  EXPECT_EQ(Utf8(builtIn.windowTitle()), "关于 Flashery");
}

TEST(MainFrame, ClosingWhileJobsRunAsksThenStopsJoinsAndRunsTheClosingSteps) {
  FrameFixture f;
  f.app.log.Reset(f.home / "run.txt", &f.prompter);
  ASSERT_TRUE(MakeDirectories(f.home / "quillon/apps"));
  f.app.selection.packagePath = "/res/a.QFM";
  MainFrame frame(f.app, f.records, f.jobs);
  std::atomic<int> monitorStops{0};
  int detached = 0, closedForGood = 0;
  frame.stopMonitor = [&] { monitorStops.fetch_add(1); };
  frame.onWorkersStopped = [&] { ++detached; };
  QObject::connect(&frame, &MainFrame::closedForGood, [&] { ++closedForGood; });
  frame.show();

  f.jobs.active[2] = true;
  f.prompter.QueueAnswer(kAnswerNo);
  frame.close();
  EXPECT_TRUE(frame.isVisible());
  EXPECT_FALSE(frame.closing());
  ASSERT_EQ(f.prompter.records().size(), 1u);
  EXPECT_EQ(f.prompter.records()[0].text, CloseWhileRunningQuestion(2052, 1));
  EXPECT_EQ(f.prompter.records()[0].buttons, PromptButtons::YesNo);
  EXPECT_EQ(f.jobs.stopRequests, 0);

  f.prompter.QueueAnswer(kAnswerYes);
  frame.close();
  EXPECT_TRUE(frame.closing());
  EXPECT_EQ(f.jobs.stopRequests, 1);
  frame.close();  // while closing: no second question
  EXPECT_EQ(f.prompter.records().size(), 2u);
  ASSERT_TRUE(PumpUntil([&] { return closedForGood == 1; }));
  EXPECT_FALSE(frame.isVisible());
  EXPECT_EQ(monitorStops.load(), 1);
  EXPECT_EQ(f.jobs.joins.load(), 1);
  EXPECT_EQ(detached, 1);
  EXPECT_FALSE(PathExists(f.home / "quillon"));
  EXPECT_EQ(GetProfileString(f.home / "downtoolcfg.ini", "FilePath", "QFMfile"), "/res/a.QFM");
  auto log = ReadWholeFile(f.home / "run.txt");
  ASSERT_TRUE(log);
  EXPECT_NE(log->find(CloseWhileRunningLogLine(1)), std::string::npos);
}

TEST(MainFrame, ClosingWithoutJobsAsksNothing) {
  FrameFixture f;
  MainFrame frame(f.app, f.records, f.jobs);
  int closedForGood = 0;
  QObject::connect(&frame, &MainFrame::closedForGood, [&] { ++closedForGood; });
  frame.show();
  frame.commandAction(kCommandExit)->trigger();
  ASSERT_TRUE(PumpUntil([&] { return closedForGood == 1; }));
  EXPECT_TRUE(f.prompter.records().empty());
  EXPECT_TRUE(PathExists(f.home / "downtoolcfg.ini"));
}

}  // namespace
}  // namespace flashery
