#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include "filesets/folder_ops.h"
#include "filesets/tests/fileset_fixture.h"

namespace flashery {
namespace {

using testing::PutFile;
using testing::PutFolder;
using testing::TempDir;

TEST(FolderOps, ExistenceIgnoresCase) {
  TempDir t;
  PutFile(t.path(), "Res/GPS/QUILMAP/quilfile_pc.txt", "x");
  EXPECT_TRUE(FolderExists(t / "res/gps/quilmap"));
  EXPECT_FALSE(FolderExists(t / "res/gps/quilmap/QUILFILE_PC.TXT"));
  EXPECT_TRUE(PathExistsNoCase(t / "res/gps/quilmap/QUILFILE_PC.TXT"));
  EXPECT_EQ(ResolveExisting(t / "RES/gps"), t / "Res/GPS");
  EXPECT_FALSE(PathExistsNoCase(t / "res/gps/cdrom"));
  EXPECT_FALSE(FolderExists(""));
}

TEST(FolderOps, FolderSizeAddsFileLengthsModulo32Bits) {
  TempDir t;
  PutFile(t.path(), "set/a", "abc");
  PutFile(t.path(), "set/sub/deeper/b", "123456789");
  ASSERT_EQ(::symlink((t / "set").c_str(), (t / "set/sub/loop").c_str()), 0);
  ASSERT_EQ(::symlink((t / "set/a").c_str(), (t / "set/alias").c_str()), 0);
  EXPECT_EQ(FolderSize(t / "set"), 15u);  // a, b and the link to a; the loop is not followed
  // A sparse file of 4 GiB + 5 bytes adds 5.
  int fd = ::open((t / "set/big").c_str(), O_CREAT | O_WRONLY, 0644);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::ftruncate(fd, (1ll << 32) + 5), 0);
  ::close(fd);
  EXPECT_EQ(FolderSize(t / "SET"), 20u);
  EXPECT_EQ(FolderSize(t / "absent"), 0u);
}

TEST(FolderOps, DeleteFolderRemovesOnlyWhatIsAsked) {
  TempDir t;
  PutFile(t.path(), "quillon/presetapp/a.apk", "abc");
  EXPECT_TRUE(DeleteFolder(t / "quillon", false));
  EXPECT_FALSE(PathExists(t / "quillon"));

  PutFile(t.path(), "quillon/x", "abc");
  EXPECT_TRUE(DeleteFolder(t / "quillon/", true));
  EXPECT_TRUE(IsDirectory(t / "quillon"));
  EXPECT_FALSE(PathExists(t / "quillon/x"));

  PutFile(t.path(), "keep/file", "abc");
  ASSERT_EQ(::symlink((t / "keep").c_str(), (t / "link").c_str()), 0);
  EXPECT_TRUE(DeleteFolder(t / "link", false));
  EXPECT_FALSE(PathExists(t / "link"));
  EXPECT_TRUE(PathExists(t / "keep/file"));

  EXPECT_FALSE(DeleteFolder("", false));
  EXPECT_FALSE(DeleteFolder("/", false));
  EXPECT_FALSE(DeleteFolder("//", true));
  EXPECT_FALSE(DeleteFolder(t / "absent", true));
  EXPECT_FALSE(PathExists(t / "absent"));
  EXPECT_FALSE(DeleteFolder(t / "keep/file", false));
  EXPECT_TRUE(PathExists(t / "keep/file"));
}

TEST(FolderOps, FindPackageCountsFilesWithTheExtension) {
  TempDir t;
  PutFile(t.path(), "b.qfm", "");
  PutFile(t.path(), "a.QFM", "");
  PutFile(t.path(), ".QFM", "");
  PutFile(t.path(), "c.QFMX", "");
  PutFile(t.path(), "d.QFM.bak", "");
  PutFolder(t.path(), "e.QFM");
  PackageSearch s = FindPackageInFolder(t.path());
  EXPECT_EQ(s.count, 3);
  EXPECT_EQ(s.path, t / "b.qfm");  // the last in the folder's order
  EXPECT_EQ(FindPackageInFolder("").count, 0);
  EXPECT_EQ(FindPackageInFolder(t / "absent").count, 0);
}

}  // namespace
}  // namespace flashery
