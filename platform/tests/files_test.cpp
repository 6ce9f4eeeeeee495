#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

// A Unix socket bound at `path`, closed with the object.
class BoundSocket {
 public:
  explicit BoundSocket(const std::string& path) : fd_(::socket(AF_UNIX, SOCK_STREAM, 0)) {
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    path.copy(addr.sun_path, sizeof addr.sun_path - 1);
    if (fd_ >= 0) ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  }
  ~BoundSocket() { ::close(fd_); }

 private:
  int fd_;
};

std::vector<std::string> TemporariesIn(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : ListFolder(dir))
    if (e.name.find(".tmp-") != std::string::npos) out.push_back(e.name);
  return out;
}

TEST(ReadingFiles, WhatIsNotARegularFileIsRefusedAtOnceAndNamed) {
  testing::TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0644), 0);
  ASSERT_TRUE(MakeDirectories(dir / "folder.ini"));
  BoundSocket socket(dir / "socket.ini");
  ASSERT_EQ(::symlink("/dev/null", (dir / "device.ini").c_str()), 0);
  ASSERT_TRUE(WriteWholeFile(dir / "big.ini", std::string(2000, 'x')));
  ASSERT_TRUE(WriteWholeFile(dir / "good.ini", "[a]\nk=1\n"));
  struct Case {
    const char* name;
    int error;
    const char* words;
  } cases[] = {
      {"pipe.ini", kReadErrorPipe, "named pipe"},      {"folder.ini", EISDIR, "folder"},
      {"socket.ini", kReadErrorSocket, "socket"},      {"device.ini", kReadErrorDevice, "device"},
      {"big.ini", kReadErrorTooLarge, "larger than"},  {"missing.ini", ENOENT, "does not exist"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int error = 0;
    EXPECT_FALSE(ReadWholeFile(dir / c.name, 1000, &error));
    EXPECT_EQ(error, c.error);
    EXPECT_NE(DescribeReadError(error, 1000).find(c.words), std::string::npos) << DescribeReadError(error, 1000);
    // A profile read says the same, except that a missing file is no failure.
    ProfileDocument doc = ProfileDocument::Load(dir / c.name, Codepage::Gbk, 1000);
    EXPECT_EQ(doc.exists(), c.error != ENOENT);
    EXPECT_EQ(doc.failure().empty(), c.error == ENOENT);
  }
  int error = -1;
  EXPECT_EQ(ReadWholeFile(dir / "good.ini", 1000, &error), "[a]\nk=1\n");
  EXPECT_EQ(error, 0);
  // The descriptor comes back blocking, as ordinary reads expect.
  int fd = OpenRegularFile(dir / "good.ini");
  ASSERT_GE(fd, 0);
  EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
  ::close(fd);
  // Asked not to follow links (sysfs attributes), a link is refused.
  ASSERT_EQ(::symlink("good.ini", (dir / "link.ini").c_str()), 0);
  EXPECT_EQ(OpenRegularFile(dir / "link.ini", &error, nullptr, O_NOFOLLOW), -1);
  EXPECT_EQ(error, ELOOP);
  // Text with a zero byte is no profile file.
  ASSERT_TRUE(WriteWholeFile(dir / "binary.ini", std::string("[a]\nk=1\n\0\x01", 10)));
  EXPECT_NE(ProfileDocument::Load(dir / "binary.ini").failure().find("zero byte at offset 8"), std::string::npos);
}

TEST(WritingFiles, ALinkIsWrittenThroughToItsTargetKeepingItsMode) {
  testing::TempDir dir;
  ASSERT_TRUE(MakeDirectories(dir / "real"));
  ASSERT_TRUE(WriteWholeFile(dir / "real/settings.ini", "old"));
  ASSERT_EQ(::chmod((dir / "real/settings.ini").c_str(), 0640), 0);
  ASSERT_EQ(::symlink("real/settings.ini", (dir / "settings.ini").c_str()), 0);
  ASSERT_EQ(::symlink("settings.ini", (dir / "second.ini").c_str()), 0);  // a chain of two
  EXPECT_EQ(FollowLinks(dir / "second.ini"), dir / "real/settings.ini");

  std::string why;
  ASSERT_TRUE(WriteFileAtomic(dir / "second.ini", "new", &why)) << why;
  struct stat st {};
  ASSERT_EQ(::lstat((dir / "settings.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(*ReadWholeFile(dir / "real/settings.ini"), "new");
  ASSERT_EQ(::stat((dir / "real/settings.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_TRUE(TemporariesIn(dir / "real").empty());

  // A dangling link: its target is created.
  ASSERT_EQ(::symlink("real/later.ini", (dir / "later.ini").c_str()), 0);
  ASSERT_TRUE(WriteFileAtomic(dir / "later.ini", "made", &why)) << why;
  EXPECT_EQ(*ReadWholeFile(dir / "real/later.ini"), "made");
  // Never over what is not a regular file.
  ASSERT_EQ(::mkfifo((dir / "pipe.ini").c_str(), 0644), 0);
  EXPECT_FALSE(WriteFileAtomic(dir / "pipe.ini", "x", &why));
  EXPECT_NE(why.find("named pipe"), std::string::npos) << why;
}

TEST(WritingFiles, AWriteCutShortLeavesTheOldFileAndItsTemporaryGoesAtTheNextStart) {
  testing::TempDir dir;
  const std::string path = dir / "downtoolcfg.ini";
  ASSERT_TRUE(WriteWholeFile(path, "old settings"));

  // Killed after the temporary was written, before the rename.
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    AtomicFileWriter writer;
    bool written = writer.Write(path, "new settings");
    ::_exit(written ? 0 : 1);  // no destructor runs: as a kill would leave it
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(*ReadWholeFile(path), "old settings");
  std::vector<std::string> left = TemporariesIn(dir.path());
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0].rfind(".downtoolcfg.ini.tmp-", 0), 0u) << left[0];

  // A write that fails half-way (the file size limit stands in for a full
  // disk) removes its temporary and leaves the old file.
  child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{5, 5};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::string why;
    bool failed = !WriteFileAtomic(path, std::string(100, 'n'), &why) && why.find(path) != std::string::npos;
    ::_exit(failed ? 0 : 1);
  }
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(*ReadWholeFile(path), "old settings");
  EXPECT_EQ(TemporariesIn(dir.path()).size(), 1u);  // only the killed write's

  // Names that only look alike stay.
  for (const char* keep : {".downtoolcfg.ini.tmp-1234567", ".other.ini.tmp-abcdef", "downtoolcfg.ini.tmp-abcdef"})
    ASSERT_TRUE(WriteWholeFile(dir / keep, "keep"));
  EXPECT_EQ(RemoveLeftoverTemporaries(path), 1);
  EXPECT_EQ(TemporariesIn(dir.path()).size(), 3u);
  EXPECT_EQ(*ReadWholeFile(path), "old settings");
}

}  // namespace
}  // namespace flashery
