// PortJobThreads: the PortJobRunner of the window — one std::jthread per
// started port. The factory given at construction is called on the
// starting thread (the GUI thread, where the snapshots of the selection and
// the package are taken) and returns the body the new thread runs. A port gets a
// new thread only when its previous job has ended. Stopping never kills a
// thread: RequestStop raises one port's stop flag, RequestStopAll every job's stop flag (the body ends at its
// next command boundary) and JoinAll waits until every job has ended, also
// one whose thread another caller of JoinAll is joining; the destructor
// does both.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>

#include "app/port_job_runner.h"

namespace flashery {

class PortJobThreads final : public PortJobRunner {
 public:
  using Body = std::function<void(std::stop_token stop)>;
  // An empty body refuses the start.
  using MakeBody = std::function<Body(int port)>;
  static constexpr int kPorts = 8;

  explicit PortJobThreads(MakeBody make) : make_(std::move(make)) {}
  ~PortJobThreads() override;
  PortJobThreads(const PortJobThreads&) = delete;
  PortJobThreads& operator=(const PortJobThreads&) = delete;

  bool StartJob(int port) override;
  bool JobActive(int port) const override;
  int ActiveJobs() const override;
  void RequestStopAll() override;
  bool RequestStop(int port) override;
  void JoinAll() override;

 private:
  MakeBody make_;
  mutable std::mutex mutex_;  // guards threads_ and stopping_; ended_ waits on it
  std::condition_variable ended_;
  std::array<std::jthread, kPorts> threads_;
  std::array<std::atomic<bool>, kPorts> active_{};
  bool stopping_ = false;
};

}  // namespace flashery
