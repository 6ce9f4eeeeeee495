#include <gtest/gtest.h>

#include "app/main_menu.h"
#include "app/window_shutdown.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

std::vector<std::string> Texts(const MenuItem& m) {
  std::vector<std::string> out;
  for (const auto& c : m.children) {
    out.push_back(c.separator ? "-" : c.text);
    for (const auto& s : Texts(c)) out.push_back("  " + s);
  }
  return out;
}

TEST(MainMenu, RetitleByKeysAndRestoreTheBuiltInTexts) {
  MenuItem bar = BuiltInMainMenu();
  LanguageMenu langs;
  langs.appended = {{32774, "Deutsch", true}};
  AddLanguageItems(bar, langs);
  // "|1" names no popup (position 1 is a command item, keyed "32771"); an
  // empty value leaves the text; "|0|1" would be a popup inside |0.
  ProfileDocument lng = ProfileDocument::Parse(
      "[128]\n|0=&File\n|1=never\n57665=E&xit\n32771=Download configuration\n|2=\n|3=&Help\n"
      "57664=&About Flashery...\n32774=German\n|0|1=never\n");
  RetitleMenu(bar, lng);
  EXPECT_EQ(Texts(bar), (std::vector<std::string>{"&File", "  -", "  E&xit", "Download configuration", "语言",
                                                  "  简体中文", "  English", "  German", "&Help",
                                                  "  &About Flashery..."}));
  RestoreMenuTexts(bar);
  EXPECT_EQ(Texts(bar), (std::vector<std::string>{"文件(&F)", "  -", "  退出(&X)", "下载配置", "语言", "  简体中文",
                                                  "  English", "  German", "帮助(&H)",
                                                  "  关于 Flashery(&A)..."}));
  RetitleMenuFromFile(bar, "");  // no language file: the built-in texts
  EXPECT_EQ(bar.children[0].text, "文件(&F)");
}

TEST(WindowShutdown, RemovesTheStagingFolderAndSavesTheSettings) {
  testing::TempDir home;
  ASSERT_TRUE(MakeDirectories(home / "Quillon/apps/sub"));
  ASSERT_TRUE(WriteWholeFile(home / "Quillon/apps/sub/a.apk", "x"));
  ASSERT_TRUE(MakeDirectories(home / "outside"));
  ASSERT_TRUE(WriteWholeFile(home / "outside/keep.txt", "keep"));
  DownloadSelection s;
  s.currentLang = 1033;
  s.packagePath = "/res/a.QFM";
  ShutdownResult r = RunWindowShutdownSteps(home.path(), s);
  EXPECT_TRUE(r.stagingRemoved);
  EXPECT_TRUE(r.settingsSaved);
  EXPECT_FALSE(PathExists(home / "Quillon"));
  EXPECT_TRUE(PathExists(home / "outside/keep.txt"));
  EXPECT_EQ(GetProfileString(home / "downtoolcfg.ini", "FilePath", "QFMfile"), "/res/a.QFM");
  EXPECT_EQ(GetProfileInt(home / "downtoolcfg.ini", "Language", "currentLang", 0), 1033);
  // A file named like the folder is not a staging folder and stays.
  ASSERT_TRUE(WriteWholeFile(home / "quillon", "not a folder"));
  RunWindowShutdownSteps(home.path(), s);
  EXPECT_TRUE(PathExists(home / "quillon"));
}

}  // namespace
}  // namespace flashery
