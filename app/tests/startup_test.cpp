#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

#include "app/application.h"
#include "app/startup.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(CommandLine, TheWordAnywhereInAnArgumentSelectsTheUnattendedMode) {
  struct Case {
    std::vector<std::string> args;
    bool unattended;
  } cases[] = {
      {{"/x", "commandline"}, true},
      {{"mycommandlinefile"}, true},
      {{"Commandline"}, false},
      {{}, false},
      {{"--home", "/opt/commandline"}, true},  // an argument, even a folder, counts
      {{"--commandline"}, true},
      {{"-commandline"}, true},                // a word of one dash is a word
      {{"--", "commandline"}, true},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseStartupArgs(c.args).commandLineMode, c.unattended) << c.args.size();
}

TEST(CommandLine, OptionsAreCheckedAndExplained) {
  auto o = ParseStartupArgs({"commandline", "--ports", "8", "--wait-s=30", "--sim", "/tmp/sim", "--json", "r.json"});
  EXPECT_TRUE(o.error.empty());
  EXPECT_EQ(o.ports, 8);
  EXPECT_EQ(o.waitSeconds, 30);
  EXPECT_EQ(o.sim, "/tmp/sim");
  EXPECT_EQ(o.jsonPath, "r.json");
  for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
           {"--ports", "9"}, {"--ports", "0"}, {"--ports", "x"}, {"--wait-s", "-1"}, {"--home"}, {"--bogus"},
           {"--login", "root"}, {"--continuous"}, {"--file-sets"}, {"--help=x"}})
    EXPECT_FALSE(ParseStartupArgs(bad).error.empty()) << bad[0];
  EXPECT_TRUE(ParseStartupArgs({"--help"}).help);
  auto p = ParseStartupArgs({"-h", "commandline", "--ports=3", "--continuous", "--file-sets", "-x", "--", "--ports=9"});
  EXPECT_TRUE(p.error.empty()) << p.error;
  EXPECT_TRUE(p.help && p.continuous && p.fileSets);
  EXPECT_EQ(p.ports, 3);  // nothing after "--" is an option
  auto w = ParseStartupArgs({"--login", "operator", "--prepare", "--home", "-dir"});
  EXPECT_TRUE(w.error.empty() && w.prepare && w.login == "operator" && w.home == "-dir") << w.error;
  EXPECT_NE(StartupUsage().find("--ports"), std::string::npos);
}

TEST(RunLog, StartsWithinOneSecondKeepTheEarlierLog) {
  testing::TempDir dir;
  FakeClock clock;
  std::string first = CreateRunLogFile(dir.path(), clock);
  EXPECT_EQ(first, dir / "log/2010-06-01 09h05m07s.txt");
  ASSERT_TRUE(AppendToFile(first, "earlier run"));
  std::string second = CreateRunLogFile(dir.path(), clock);
  EXPECT_EQ(second, dir / "log/2010-06-01 09h05m07s (2).txt");
  EXPECT_EQ(*ReadWholeFile(first), "earlier run");
  EXPECT_EQ(*FileSize(second), 0u);
}

class Station : public ::testing::Test {
 protected:
  void SetUp() override { ::setenv("FLASHERY_RUNTIME_DIR", runtime.path().c_str(), 1); }
  void TearDown() override { ::unsetenv("FLASHERY_RUNTIME_DIR"); }
  testing::TempDir runtime, home;
  FakeClock clock;
  RecordingPrompter prompter;
};

TEST_F(Station, UnattendedStartReadsSettingsLanguageAndCreatesTheLog) {
  ASSERT_TRUE(WriteWholeFile(home / "English.lng", "[Language]\nLanguage=1033\n[Text]\n110=ten\n"));
  ASSERT_TRUE(WriteWholeFile(home / "downtoolcfg.ini", "[checkinfo]\nchoseSYS=1\n"));
  StartupOptions o = ParseStartupArgs({"commandline", "--home", home.path()});
  Application app(clock, prompter);
  ASSERT_EQ(app.BeginStartup(o), kExitOk);
  EXPECT_EQ(app.appFolder, home.path());
  EXPECT_TRUE(app.commandLineMode);
  EXPECT_EQ(app.selection.systemSelected, 1);
  ASSERT_EQ(app.FinishStartup(1033), kExitOk);
  EXPECT_EQ(app.language.lngPath, home / "English.lng");
  EXPECT_EQ(app.texts.Get(10), "ten");
  EXPECT_TRUE(IsRegularFile(app.logFilePath));
  EXPECT_EQ(DirName(app.logFilePath), home / "log");
  EXPECT_EQ(GetProfileInt(home / "downtoolcfg.ini", "Language", "currentLang", 0), 1033);

  // A second station in the same runtime folder is refused with the message.
  Application second(clock, prompter);
  EXPECT_EQ(second.BeginStartup(o), kExitCannotStart);
  ASSERT_EQ(prompter.records().size(), 1u);
  EXPECT_EQ(prompter.records()[0].text, "Flashery is running！");
}

TEST_F(Station, SettingsThatCannotBeReadWholeStopTheStartAndStayAsTheyAre) {
  // A temporary left by a write that was cut short goes first.
  ASSERT_TRUE(WriteWholeFile(home / ".downtoolcfg.ini.tmp-x1Y2z3", "half"));
  const std::string settings = "[FilePath]\r\nQFMfile=/a.QFM\r\n" + std::string(2u << 20, ' ');
  ASSERT_TRUE(WriteWholeFile(home / "downtoolcfg.ini", settings));
  StartupOptions o = ParseStartupArgs({"commandline", "--home", home.path()});
  {
    Application app(clock, prompter);
    EXPECT_EQ(app.BeginStartup(o), kExitCannotStart);
  }
  EXPECT_FALSE(PathExists(home / ".downtoolcfg.ini.tmp-x1Y2z3"));
  EXPECT_TRUE(*ReadWholeFile(home / "downtoolcfg.ini") == settings);

  // Prtcfg.ini a named pipe: refused at once, named in the message.
  ASSERT_TRUE(WriteWholeFile(home / "downtoolcfg.ini", "[Language]\r\ncurrentLang=1033\r\n"));
  ASSERT_EQ(::mkfifo((home / "Prtcfg.ini").c_str(), 0644), 0);
  {
    Application app(clock, prompter);
    EXPECT_EQ(app.BeginStartup(o), kExitCannotStart);
  }
  auto prompts = prompter.records();
  ASSERT_EQ(prompts.size(), 2u);
  EXPECT_NE(prompts[0].text.find(home / "downtoolcfg.ini: it is larger than 1 MiB"), std::string::npos) << prompts[0].text;
  EXPECT_NE(prompts[1].text.find(home / "Prtcfg.ini: it is a named pipe"), std::string::npos) << prompts[1].text;
  EXPECT_EQ(prompts[1].text.rfind(std::string(station_text::kSettingsUnreadable.english), 0), 0u);
}

TEST_F(Station, AFailedSettingsWriteIsSaidNamingTheFile) {
  // The settings are a link into a folder that is not there: read as
  // missing, and every write fails.
  ASSERT_EQ(::symlink("gone/cfg.ini", (home / "downtoolcfg.ini").c_str()), 0);
  ASSERT_TRUE(WriteWholeFile(home / "English.lng", "[Language]\nLanguage=1033\n"));
  StartupOptions o = ParseStartupArgs({"commandline", "--home", home.path()});
  Application app(clock, prompter);
  ASSERT_EQ(app.BeginStartup(o), kExitOk);
  ASSERT_EQ(app.FinishStartup(1033), kExitOk);  // stores currentLang: fails
  EXPECT_FALSE(app.SaveSettingsAndSay());
  auto prompts = prompter.records();
  ASSERT_EQ(prompts.size(), 2u);
  for (const auto& p : prompts) {
    EXPECT_EQ(p.text.rfind(std::string(station_text::kSettingsNotSaved.english) + ": ", 0), 0u) << p.text;
    EXPECT_NE(p.text.find(home / "gone/cfg.ini"), std::string::npos) << p.text;
  }
}

TEST(Roles, OnlyTheTwoAdministratorNamesGiveTheAdministratorRole) {
  EXPECT_EQ(RoleForUserName("管理员"), UserRole::Administrator);
  EXPECT_EQ(RoleForUserName("Administrator"), UserRole::Administrator);
  EXPECT_EQ(RoleForUserName("administrator"), UserRole::Operator);
  EXPECT_EQ(RoleForUserName("操作员"), UserRole::Operator);
}

}  // namespace
}  // namespace flashery
