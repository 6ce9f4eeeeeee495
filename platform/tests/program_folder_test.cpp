#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/files.h"
#include "platform/program_folder.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(ProgramFolder, ChosenFromOptionVariableSettingsInstallationAndWritability) {
  struct Case {
    const char* home;
    const char* variable;
    const char* exe;
    bool holdsSettings, installed, writable;
    const char* folder;  // nullptr: none
    bool shared;
  };
  const Case cases[] = {
      {"/opt/other//", "/srv/station", "/build/bin", true, false, true, "/opt/other", false},
      {"st", "/srv/station", "/usr/bin", false, true, false, "/work/st", false},
      {"", "/srv/station/", "/build/bin", true, false, true, "/srv/station", false},
      {"", "rel/dir", "", false, false, false, "/work/rel/dir", false},
      {"", "", "/build/bin", false, false, true, "/build/bin", false},
      {"", "", "/build/bin", true, false, false, "/build/bin", false},
      {"", "", "/usr/bin", false, true, false, kSharedProgramFolder, true},
      {"", "", "/usr/bin", false, true, true, kSharedProgramFolder, true},  // root may write /usr/bin
      {"", "", "/usr/bin", true, true, true, "/usr/bin", false},
      {"", "", "/ro/copy", false, false, false, kSharedProgramFolder, true},
      {"", "", "", false, false, false, nullptr, false},
  };
  for (const Case& c : cases) {
    ProgramFolderFacts f{c.home, c.variable, "/work", c.exe, c.holdsSettings, c.installed, c.writable};
    auto got = ChooseProgramFolder(f);
    SCOPED_TRACE(std::string(c.home) + "|" + c.variable + "|" + c.exe);
    ASSERT_EQ(got.has_value(), c.folder != nullptr);
    if (!got) continue;
    EXPECT_EQ(got->folder, c.folder);
    EXPECT_EQ(got->shared, c.shared);
  }
  EXPECT_EQ(ShippedLanguageFolder("/usr/local/bin"), "/usr/local/share/flashery/lang");
}

TEST(ProgramFolder, SharedFolderMadeWithTheShippedLanguageFilesItLacks) {
  testing::TempDir dir;
  std::string shipped = dir / "lang", folder = dir / "station";
  ASSERT_TRUE(MakeDirectories(shipped + "/sub.lng"));
  ASSERT_TRUE(WriteWholeFile(shipped + "/English.lng", "shipped en"));
  ASSERT_TRUE(WriteWholeFile(shipped + "/简体中文.LNG", "shipped zh"));
  ASSERT_TRUE(WriteWholeFile(shipped + "/notes.txt", "x"));
  ASSERT_EQ(::symlink("/etc/passwd", (shipped + "/link.lng").c_str()), 0);

  std::string problem;
  ASSERT_TRUE(PrepareSharedFolder(folder, shipped, &problem)) << problem;
  struct stat st {};
  ASSERT_EQ(::stat(folder.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 02775u);
  EXPECT_EQ(ReadWholeFile(folder + "/简体中文.LNG"), "shipped zh");
  EXPECT_FALSE(PathExists(folder + "/notes.txt"));
  EXPECT_FALSE(PathExists(folder + "/sub.lng"));
  EXPECT_FALSE(PathExists(folder + "/link.lng"));

  // An edited file stays; a file the folder lost comes back.
  ASSERT_TRUE(WriteWholeFile(folder + "/English.lng", "edited"));
  ASSERT_EQ(::unlink((folder + "/简体中文.LNG").c_str()), 0);
  ASSERT_TRUE(PrepareSharedFolder(folder, shipped, &problem)) << problem;
  EXPECT_EQ(ReadWholeFile(folder + "/English.lng"), "edited");
  EXPECT_EQ(ReadWholeFile(folder + "/简体中文.LNG"), "shipped zh");
  EXPECT_TRUE(PrepareSharedFolder(dir / "other", dir / "no-such-lang", &problem));

  // What the station makes once it shares the folder stays writable for the group.
  mode_t saved = ::umask(022);
  ShareWritesWithGroup();
  bool made = MakeDirectories(folder + "/log/run") && WriteFileAtomic(folder + "/downtoolcfg.ini", "[x]") &&
              WriteWholeFile(folder + "/log/run/a.txt", "") && AppendToFile(folder + "/log/b.txt", "b");
  ::umask(saved);
  ASSERT_TRUE(made);
  for (const char* name : {"log", "log/run", "downtoolcfg.ini", "log/run/a.txt", "log/b.txt"}) {
    ASSERT_EQ(::stat((folder + "/" + name).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, S_ISDIR(st.st_mode) ? 0775u : 0664u) << name;
  }

  // A folder that cannot be made is said, naming it.
  problem.clear();
  EXPECT_FALSE(PrepareSharedFolder(shipped + "/English.lng/station", shipped, &problem));
  EXPECT_NE(problem.find("English.lng/station"), std::string::npos) << problem;
}

}  // namespace
}  // namespace flashery
