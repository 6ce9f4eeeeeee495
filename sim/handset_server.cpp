#include "sim/handset_server.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

#include "device/sim_wire.h"

namespace flashery::sim {

StopSignal::StopSignal() {
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) fds_[0] = fds_[1] = -1;
}

StopSignal::~StopSignal() {
  for (int fd : fds_)
    if (fd >= 0) ::close(fd);
}

void StopSignal::Request() {
  stop_.store(true);
  if (fds_[1] >= 0) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(fds_[1], &c, 1);
  }
}

bool WaitStation(Clock& clock, uint32_t ms, const StopSignal& stop, int fd) {
  while (ms > 0) {
    if (stop.requested()) return false;
    if (fd >= 0) {
      pollfd p{fd, POLLIN, 0};
      if (::poll(&p, 1, 0) > 0) break;
    }
    uint32_t step = std::min(ms, kWaitStepMs);
    clock.SleepMs(step);
    ms -= step;
  }
  return !stop.requested();
}

uint32_t LateAnswerDelayMs(uint32_t modelDelayMs, uint32_t timeoutMs, double timeScale) {
  if (!(timeScale > 0)) timeScale = 1.0;
  double real = SimRealTimeoutMs(timeoutMs, timeScale) * 1.25 + 100.0;
  double station = std::ceil(real / timeScale);
  if (station > 86400000.0) station = 86400000.0;
  return std::max(modelDelayMs, static_cast<uint32_t>(station));
}

namespace {

// Waits until fd is readable or stop is requested; true when readable.
bool WaitReadable(int fd, const StopSignal& stop) {
  for (;;) {
    if (stop.requested()) return false;
    pollfd p[2] = {{fd, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
    int n = ::poll(p, stop.fd() >= 0 ? 2 : 1, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (p[1].revents != 0) return false;
    if (p[0].revents != 0) return true;
  }
}

}  // namespace

HandsetServer::HandsetServer(HandsetModel& model, const std::string& dir, Clock& clock,
                             double timeScale, const StopSignal& stop)
    : model_(model), clock_(clock), timeScale_(timeScale), stop_(stop), presence_(dir) {}

bool HandsetServer::Appear(std::string& error) {
  if (!model_.PowerOn()) {
    error = "cannot prepare the handset folder " + model_.config().folder;
    return false;
  }
  return presence_.Appear(model_.busSerial(), model_.interfacePath(), error, model_.config().socketPath);
}

HandsetServer::ConnectionEnd HandsetServer::Serve(int fd) {
  WireRequest request;
  for (;;) {
    if (!WaitReadable(fd, stop_)) return stop_.requested() ? ConnectionEnd::kStop : ConnectionEnd::kClosed;
    if (ReadWireRequest(fd, request, kRequestBudgetMs) != WireIo::kOk) return ConnectionEnd::kClosed;
    HandsetCommand command;
    command.direction = static_cast<uint8_t>(request.header.direction);
    std::copy(request.header.cdb.begin(), request.header.cdb.end(), command.cdb);
    command.dataLength = request.header.dataLength;
    command.data = request.data.empty() ? nullptr : request.data.data();
    command.timeoutMs = request.header.timeoutMs;
    HandsetReply reply = model_.Execute(command);
    if (reply.timing == ReplyTiming::kDropConnection)
      return reply.leaveBus ? ConnectionEnd::kLeaveBus : ConnectionEnd::kClosed;
    if (reply.timing == ReplyTiming::kNever) continue;
    if (reply.timing == ReplyTiming::kAfterTimeout &&
        !WaitStation(clock_, LateAnswerDelayMs(reply.delayMs, command.timeoutMs, timeScale_), stop_,
                     request.header.tag != 0 ? fd : -1))
      return ConnectionEnd::kStop;
    uint32_t length = request.header.direction == DataDirection::kFromDevice
                          ? static_cast<uint32_t>(std::min<size_t>(reply.data.size(), command.dataLength))
                          : 0;
    if (SendWireReply(fd, request.header.tag, reply.scsiStatus, length ? reply.data.data() : nullptr,
                      length, kRequestBudgetMs) != WireIo::kOk)
      return reply.leaveBus ? ConnectionEnd::kLeaveBus : ConnectionEnd::kClosed;
    if (reply.leaveBus) return ConnectionEnd::kLeaveBus;
  }
}

bool HandsetServer::Restart() {
  if (!WaitStation(clock_, model_.config().timings.leaveDelayMs, stop_)) return false;
  BusReturn back = model_.LeaveBus();
  presence_.Leave();
  if (!back.comesBack) {
    while (WaitStation(clock_, 1000, stop_)) {
    }
    return false;
  }
  if (!WaitStation(clock_, back.offBusMs, stop_)) return false;
  model_.Rejoin();
  std::string error;
  if (!presence_.Appear(back.busSerial, model_.interfacePath(), error, model_.config().socketPath)) {
    std::fprintf(stderr, "flashery-sim: %s\n", error.c_str());
    return false;
  }
  return true;
}

bool HandsetServer::Run(bool leaveWhenComplete) {
  bool done = false;
  while (!stop_.requested()) {
    if (!presence_.present()) break;
    if (!WaitReadable(presence_.listenFd(), stop_)) break;
    int fd = presence_.Accept();
    if (fd < 0) continue;
    ConnectionEnd end = Serve(fd);
    ::close(fd);
    model_.ConnectionClosed();
    if (end == ConnectionEnd::kStop) break;
    if (leaveWhenComplete && end == ConnectionEnd::kClosed && model_.report().completed) {
      done = true;
      break;
    }
    if (end == ConnectionEnd::kLeaveBus) {
      if (!Restart()) break;
    } else if (!presence_.Reaccept()) {
      // Better off the bus than present and deaf.
      std::fprintf(stderr, "flashery-sim: %s cannot listen again; leaving the bus\n",
                   model_.busSerial().c_str());
      break;
    }
  }
  presence_.Leave();
  model_.Shutdown();
  return done;
}

}  // namespace flashery::sim
