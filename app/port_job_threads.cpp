#include "app/port_job_threads.h"

namespace flashery {

PortJobThreads::~PortJobThreads() {
  RequestStopAll();
  JoinAll();
}

bool PortJobThreads::StartJob(int port) {
  if (port < 0 || port >= kPorts || !make_) return false;
  std::lock_guard lock(mutex_);
  if (stopping_ || active_[port].load()) return false;
  Body body = make_(port);
  if (!body) return false;
  // The previous job of this port has ended; its thread is at most leaving.
  if (threads_[port].joinable()) threads_[port].join();
  active_[port].store(true);
  threads_[port] = std::jthread([this, port, body = std::move(body)](std::stop_token stop) {
    body(stop);
    // Under the lock, so a JoinAll that sees the end has its wake-up.
    std::lock_guard ending(mutex_);
    active_[port].store(false);
    ended_.notify_all();
  });
  return true;
}

bool PortJobThreads::JobActive(int port) const {
  return port >= 0 && port < kPorts && active_[port].load();
}

int PortJobThreads::ActiveJobs() const {
  int n = 0;
  for (const auto& a : active_) n += a.load() ? 1 : 0;
  return n;
}

void PortJobThreads::RequestStopAll() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  for (auto& t : threads_) t.request_stop();
}

bool PortJobThreads::RequestStop(int port) {
  if (port < 0 || port >= kPorts) return false;
  std::lock_guard lock(mutex_);
  if (!active_[port].load()) return false;
  return threads_[port].request_stop();
}

void PortJobThreads::JoinAll() {
  std::array<std::jthread, kPorts> ending;
  {
    std::lock_guard lock(mutex_);
    for (int p = 0; p < kPorts; ++p) ending[p] = std::move(threads_[p]);
  }
  for (auto& t : ending)
    if (t.joinable()) t.join();
  std::unique_lock lock(mutex_);
  ended_.wait(lock, [this] { return ActiveJobs() == 0; });
}

}  // namespace flashery
