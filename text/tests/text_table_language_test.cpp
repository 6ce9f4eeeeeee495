#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"
#include "text/language.h"
#include "text/text_table.h"

namespace flashery {
namespace {

TEST(TextTable, HoldsExactly225TextsByIdWithTheByteCap) {
  testing::TempDir dir;
  std::string lng = dir / "x.lng";
  ASSERT_TRUE(WriteWholeFile(lng, "[Language]\r\nLanguage=1033\r\n[Text]\r\n150=fifty\r\n99=never\r\n325=never\r\n"
                                  "100=" + std::string(1500, 'z') + "\r\n324=last\r\n"));
  TextTable t;
  t.Load(lng);
  ASSERT_EQ(t.size(), 225u);
  EXPECT_EQ(t.Get(50), "fifty");
  EXPECT_EQ(t.Get(0).size(), 1023u);
  EXPECT_EQ(t.Get(224), "last");
  for (int id = 1; id < 224; ++id) {
    if (id == 50) continue;
    EXPECT_EQ(t.Get(id), "") << id;
  }
  EXPECT_EQ(t.Get(225), "");
  EXPECT_EQ(t.Get(-1), "");

  TextTable none;
  none.Load("");
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.Get(3), "");
  TextTable missing;
  missing.Load(dir / "gone.lng");
  EXPECT_EQ(missing.size(), 225u);
}

TEST(LanguageFiles, AreUtf8ByTheirMarkElseInTheCodePageOfTheirLanguage) {
  // 系统 in GBK (CF B5 CD B3) is also valid UTF-8 ("ϵͳ").
  struct Case {
    const char* what;
    std::string file;
    const char* text;     // text id 1
    uint16_t langId;      // 0: the file is refused, failure says why
    const char* failure;
  } cases[] = {
      {"GBK", "[Language]\r\nLanguage=2052\r\n[Text]\r\n101=\xCF\xB5\xCD\xB3\r\n", "系统", 2052, ""},
      {"Big5", "[Text]\r\n101=\xA8\x74\xB2\xCE\r\n[Language]\r\nLanguage=1028\r\n", "系統", 1028, ""},
      {"UTF-8 by its mark", "\xEF\xBB\xBF[Language]\r\nLanguage=2052\r\n[Text]\r\n101=系统\r\n", "系统", 2052, ""},
      {"UTF-8 without a mark", "[Language]\r\nLanguage=2052\r\n[Text]\r\n101=系统设\r\n", "", 0,
       "its line 4 is not valid GBK, the code page it is read in (a file in UTF-8 must begin with a byte order mark)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    ASSERT_TRUE(WriteWholeFile(dir / "x.lng", c.file));
    TextTable t;
    t.Load(dir / "x.lng");
    EXPECT_EQ(t.Get(1), c.text);
    std::vector<LanguageFile> files = ListLanguageFiles(dir.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].langId, c.langId);
    EXPECT_EQ(files[0].failure, c.failure);
  }
}

class LanguageFolder : public ::testing::Test {
 protected:
  void Write(const std::string& name, int langId, const std::string& extra = "") {
    ASSERT_TRUE(WriteWholeFile(dir / name, "[Language]\r\nLanguage=" + std::to_string(langId) + "\r\n" + extra));
  }
  int CurrentLang() { return GetProfileInt(SettingsFilePath(dir.path()), "Language", "currentLang", -1); }
  testing::TempDir dir;
};

TEST_F(LanguageFolder, StartupTakesTheFirstFileOfTheLanguageAndStoresIt) {
  Write("b-english.lng", 1033, "FontName=DejaVu Sans\r\nFontSize=0\r\n");
  Write("a-english.lng", 1033, "FontName=Noto Sans\r\nFontSize=11\r\n");
  Write("zero.lng", 0);
  LanguageState st;
  // currentLang absent: the user's default chooses, and is then stored.
  EXPECT_EQ(LoadStartupLanguage(dir.path(), 1033, st), 1033);
  EXPECT_EQ(st.lngPath, dir / "a-english.lng");
  ASSERT_TRUE(st.font.has_value());
  EXPECT_EQ(st.font->face, "Noto Sans");
  EXPECT_EQ(st.font->pointSize, 11);
  EXPECT_EQ(CurrentLang(), 1033);

  // No file of the language: nothing active and nothing written.
  ASSERT_TRUE(WriteProfileString(SettingsFilePath(dir.path()), "Language", "currentLang", "1041"));
  LanguageState none;
  EXPECT_EQ(LoadStartupLanguage(dir.path(), 1033, none), 0);
  EXPECT_EQ(none.lngPath, "");
  EXPECT_EQ(CurrentLang(), 1041);
  // currentLang 0 never picks the invalid file.
  ASSERT_TRUE(WriteProfileString(SettingsFilePath(dir.path()), "Language", "currentLang", "0"));
  EXPECT_EQ(LoadStartupLanguage(dir.path(), 1033, none), 0);
}

TEST_F(LanguageFolder, FilesThatCannotBeReadWholeAreNamedAndPassedOver) {
  ASSERT_EQ(::mkfifo((dir / "a-pipe.lng").c_str(), 0644), 0);
  ASSERT_EQ(::symlink("/dev/null", (dir / "b-device.lng").c_str()), 0);
  ASSERT_TRUE(MakeDirectories(dir / "c-folder.lng"));
  Write("d-big.lng", 1033, std::string(kMaxLanguageFileBytes, ';'));
  Write("e-english.lng", 1033);
  LanguageState st;
  EXPECT_EQ(LoadStartupLanguage(dir.path(), 1033, st), 1033);
  EXPECT_EQ(st.lngPath, dir / "e-english.lng");
  const std::vector<std::string> want = {
      dir / "a-pipe.lng: it is a named pipe, not a file", dir / "b-device.lng: it is a device, not a file",
      dir / "c-folder.lng: it is a folder, not a file", dir / "d-big.lng: it is larger than 1 MiB"};
  EXPECT_EQ(st.unreadable, want);
  EXPECT_TRUE(st.settingsNotSaved.empty());
  EXPECT_EQ(BuildLanguageMenu(dir.path()).appended.size(), 1u);  // only e-english
}

TEST_F(LanguageFolder, MenuGivesBuiltInIdsAndSkipsInvalidFiles) {
  Write("English.lng", 1033);
  Write("Deutsch.lng", 1031);
  Write("简体中文.lng", 2052);
  Write("Broken.lng", 0);
  Write("Zulu.lng", 1077);
  ASSERT_TRUE(WriteProfileString(SettingsFilePath(dir.path()), "Language", "currentLang", "1077"));
  LanguageMenu menu = BuildLanguageMenu(dir.path());
  // Listing order: Broken (invalid, first: no separator), Deutsch, English, Zulu, 简体中文.
  EXPECT_FALSE(menu.separatorBeforeFiles);
  ASSERT_EQ(menu.appended.size(), 2u);
  EXPECT_EQ(menu.appended[0].name, "Deutsch");
  EXPECT_EQ(menu.appended[0].commandId, 32774u);
  EXPECT_EQ(menu.appended[1].name, "Zulu");
  EXPECT_EQ(menu.appended[1].commandId, 32775u);
  EXPECT_EQ(menu.highestId, 32775u);
  EXPECT_EQ(menu.selectedId, 32775u);

  LanguageState st;
  EXPECT_EQ(SelectLanguageFromMenu(dir.path(), menu, 32774, "Deutsch", st), 32774u);
  EXPECT_EQ(st.languageId, 1031);
  EXPECT_EQ(CurrentLang(), 1031);
  // An item whose file has gone: the path still names it, the language is 0.
  EXPECT_EQ(SelectLanguageFromMenu(dir.path(), menu, 32775, "Gone", st), 32775u);
  EXPECT_EQ(st.languageId, 0);
  EXPECT_EQ(st.lngPath, dir / "Gone.lng");
  EXPECT_EQ(CurrentLang(), 0);
  // An id beyond the menu resets to the first language item.
  EXPECT_EQ(SelectLanguageFromMenu(dir.path(), menu, 32800, "Zulu", st), 32772u);
  EXPECT_EQ(st.lngPath, "");
}

TEST_F(LanguageFolder, MenuStopsAtTheLastCommandId) {
  for (int i = 0; i < 60; ++i) Write("L" + std::to_string(100 + i) + ".lng", 1100 + i);
  LanguageMenu menu = BuildLanguageMenu(dir.path());
  EXPECT_TRUE(menu.separatorBeforeFiles);
  EXPECT_EQ(menu.appended.size(), 48u);  // 32774 ... 32821
  EXPECT_EQ(menu.highestId, kLastLanguageCommand);
}

TEST(Retitling, UsesOnlyNonEmptyValuesOfTheDialogsSection) {
  auto lng = ProfileDocument::Parse("[About]\n0=About it\n1001=\n[128]\n|0=File\n|0|1=Sub\n");
  EXPECT_EQ(DialogSection(100), "About");
  EXPECT_EQ(DialogSection(137), "configdownfile");
  EXPECT_EQ(DialogSection(999), "");
  EXPECT_EQ(*RetitleText(lng, "About", "0"), "About it");
  EXPECT_FALSE(RetitleText(lng, "About", "1001").has_value());
  EXPECT_FALSE(RetitleText(lng, "", "0").has_value());
  EXPECT_EQ(*RetitleText(lng, "128", MenuPopupKey(MenuPopupKey("", 0), 1)), "Sub");
  EXPECT_EQ(LangIdFromLocale("zh_CN.UTF-8"), 2052);
  EXPECT_EQ(LangIdFromLocale("zh_TW.Big5"), 1028);
  EXPECT_EQ(LangIdFromLocale("C"), 1033);
}

}  // namespace
}  // namespace flashery
