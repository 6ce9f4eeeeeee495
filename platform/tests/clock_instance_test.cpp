#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/clock.h"
#include "platform/program_folder.h"
#include "platform/single_instance.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(TimeScale, AcceptsOnlySensibleFactors) {
  EXPECT_EQ(ParseTimeScale(nullptr), 1.0);
  EXPECT_EQ(ParseTimeScale(""), 1.0);
  EXPECT_EQ(ParseTimeScale("0.01"), 0.01);
  EXPECT_EQ(ParseTimeScale("2"), 2.0);
  for (const char* bad : {"0", "-1", "abc", "1x", "1e9", "nan"}) EXPECT_EQ(ParseTimeScale(bad), 1.0) << bad;
  EXPECT_EQ(SystemClock(0.5).scale(), 0.5);
}

TEST(FakeClock, RecordsSleepsAdvancesTimeAndCallsTheHook) {
  FakeClock clock(1000);
  std::vector<uint64_t> seen;
  clock.SetSleepHook([&](uint64_t now) { seen.push_back(now); });
  clock.SleepMs(400);
  clock.SleepMs(50);
  clock.Advance(10);
  EXPECT_EQ(clock.NowMs(), 1460u);
  EXPECT_EQ(clock.sleeps(), (std::vector<uint32_t>{400, 50}));
  EXPECT_EQ(clock.totalSleptMs(), 450u);
  EXPECT_EQ(seen, (std::vector<uint64_t>{1400, 1450}));
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstEnds) {
  testing::TempDir dir;
  auto first = InstanceLock::Acquire(dir.path());
  ASSERT_TRUE(first.has_value());
  // flock is per open file description: a second open in this process
  // conflicts just as another process would.
  EXPECT_FALSE(InstanceLock::Acquire(dir.path()).has_value());
  pid_t child = ::fork();
  if (child == 0) _exit(InstanceLock::Acquire(dir.path()).has_value() ? 1 : 0);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "another process got the lock";
  first.reset();
  EXPECT_TRUE(InstanceLock::Acquire(dir.path()).has_value());
  std::string error;
  EXPECT_FALSE(InstanceLock::Acquire(dir / "no/such/dir", "Flashery", &error).has_value());
  EXPECT_FALSE(error.empty());
}

TEST(ProgramFolder, OptionBeatsEnvironmentBeatsExecutable) {
  ::unsetenv("FLASHERY_HOME");
  auto exe = ProgramFolder("");
  ASSERT_TRUE(exe.has_value());
  EXPECT_EQ(*exe, *ExecutableFolder());
  ::setenv("FLASHERY_HOME", "/srv/station/", 1);
  EXPECT_EQ(*ProgramFolder(""), "/srv/station");
  EXPECT_EQ(*ProgramFolder("/opt/other//"), "/opt/other");
  ::unsetenv("FLASHERY_HOME");
}

}  // namespace
}  // namespace flashery
