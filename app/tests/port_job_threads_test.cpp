#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "app/port_job_threads.h"

namespace flashery {
namespace {

// A gate the test opens; bodies wait on it or on their stop flag.
struct Gate {
  std::mutex m;
  std::condition_variable_any cv;
  bool open = false;
  void Open() {
    std::lock_guard lock(m);
    open = true;
    cv.notify_all();
  }
  bool WaitOrStop(std::stop_token stop) {
    std::unique_lock lock(m);
    return cv.wait(lock, stop, [&] { return open; });
  }
};

TEST(PortJobThreads, OneJobPerPortStopsOnItsFlagAndIsJoined) {
  Gate gate;
  std::atomic<int> ran{0}, stopped{0};
  std::atomic<int> made{0};
  PortJobThreads jobs([&](int port) -> PortJobThreads::Body {
    made.fetch_add(1);
    if (port == 5) return {};  // this port refuses
    return [&](std::stop_token stop) {
      if (gate.WaitOrStop(stop)) ran.fetch_add(1);
      else stopped.fetch_add(1);
    };
  });
  EXPECT_TRUE(jobs.StartJob(0));
  EXPECT_TRUE(jobs.StartJob(7));
  EXPECT_FALSE(jobs.StartJob(0));  // its job still runs
  EXPECT_FALSE(jobs.StartJob(5));
  EXPECT_FALSE(jobs.StartJob(8));
  EXPECT_FALSE(jobs.StartJob(-1));
  EXPECT_TRUE(jobs.JobActive(0));
  EXPECT_FALSE(jobs.JobActive(5));
  EXPECT_EQ(jobs.ActiveJobs(), 2);
  EXPECT_EQ(made.load(), 3);  // a port whose job runs gets no new body

  gate.Open();
  while (jobs.JobActive(0) || jobs.JobActive(7)) std::this_thread::yield();
  EXPECT_EQ(ran.load(), 2);
  EXPECT_TRUE(jobs.StartJob(0));  // an ended job makes room for the next

  Gate never;
  PortJobThreads blocked([&](int) -> PortJobThreads::Body {
    return [&](std::stop_token stop) {
      if (!never.WaitOrStop(stop)) stopped.fetch_add(1);
    };
  });
  for (int p = 0; p < 8; ++p) EXPECT_TRUE(blocked.StartJob(p));
  EXPECT_EQ(blocked.ActiveJobs(), 8);
  // One port's stop ends that job alone.
  EXPECT_TRUE(blocked.RequestStop(3));
  while (blocked.JobActive(3)) std::this_thread::yield();
  EXPECT_EQ(stopped.load(), 1);
  EXPECT_EQ(blocked.ActiveJobs(), 7);
  EXPECT_FALSE(blocked.RequestStop(3));  // nothing runs there any more
  EXPECT_FALSE(blocked.RequestStop(8));
  EXPECT_TRUE(blocked.StartJob(3));      // and the port can start again
  blocked.RequestStopAll();
  blocked.JoinAll();
  EXPECT_EQ(stopped.load(), 9);
  EXPECT_EQ(blocked.ActiveJobs(), 0);
  EXPECT_FALSE(blocked.StartJob(3));  // no new job once stopping
}

}  // namespace
}  // namespace flashery
