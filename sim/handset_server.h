// One simulated handset served on the simulated bus: a thread body that
// puts the handset on the bus, answers one connection at a time with the
// wire protocol (echoing each request's tag), and carries out what the
// model's answers ask for: answering late (after the request's time-out),
// dropping the connection, never answering, and leaving the bus after a
// restart (for the model's time off the bus, then coming back, perhaps
// under another serial, or never).
//
// A late answer to a tagged request goes out after LateAnswerDelayMs, or
// as soon as the station's next request (or its hang-up) arrives, if that
// is sooner: the station sends nothing new before it has given up on the
// command, so the answer is late either way, and a run of late commands
// does not push the handset ever further behind the station. A late answer
// to an untagged request always waits the whole delay.
//
// Every wait goes through the Clock in short steps, so a stop request is
// seen within one step whatever the time scale. Reading a request is
// bounded: a peer that stops in the middle of one for kRequestBudgetMs (real
// time) loses its connection; a malformed request ends the connection too.
#pragma once

#include <atomic>
#include <string>

#include "platform/clock.h"
#include "sim/bus_presence.h"
#include "sim/handset_model.h"

namespace flashery::sim {

constexpr int kRequestBudgetMs = 10000;
constexpr uint32_t kWaitStepMs = 50;

// A stop request shared by all handset threads: a flag and a pipe whose
// read end becomes readable when stop is requested (for poll).
class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;
  void Request();
  bool requested() const { return stop_.load(); }
  int fd() const { return fds_[0]; }

 private:
  std::atomic<bool> stop_{false};
  int fds_[2] = {-1, -1};
};

// Waits ms station milliseconds, or less when `fd` (if >= 0) becomes
// readable first; false when stopped before the end.
bool WaitStation(Clock& clock, uint32_t ms, const StopSignal& stop, int fd = -1);

// Station milliseconds to wait before a late answer: the model's delay, but
// at least a quarter more than the real time the station's socket transport
// waits for a reply (its time-out scaled, with a real floor), so the answer
// is late at any time scale.
uint32_t LateAnswerDelayMs(uint32_t modelDelayMs, uint32_t timeoutMs, double timeScale);

class HandsetServer {
 public:
  // timeScale: the factor the clock applies to station time.
  HandsetServer(HandsetModel& model, const std::string& dir, Clock& clock, double timeScale,
                const StopSignal& stop);

  // Puts the handset on the bus; false (with error) when it cannot.
  bool Appear(std::string& error);
  // Serves until stop is requested, then leaves the bus and writes the
  // final report. Call after a successful Appear. With leaveWhenComplete it
  // also leaves once the handset has completed and its connection ended,
  // and then returns true (the unit is done; the socket is free).
  bool Run(bool leaveWhenComplete = false);

 private:
  enum class ConnectionEnd { kClosed, kLeaveBus, kStop };
  ConnectionEnd Serve(int fd);
  // Off the bus and back; false when stopped or the handset stays away.
  bool Restart();

  HandsetModel& model_;
  Clock& clock_;
  double timeScale_;
  const StopSignal& stop_;
  BusPresence presence_;
};

}  // namespace flashery::sim
