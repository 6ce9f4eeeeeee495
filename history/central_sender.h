// CentralSender: feeds the central database from the local store, which
// stays the source of truth and is the queue (units.central_sent).
//
// SendPending sends every ended unit not yet sent, oldest first, in batches
// of 100, each batch marked sent in the local store only after the database
// committed it (a mark that is lost only makes the batch go again, which
// the database's key turns into nothing). The queue's reads and marks go
// through the recorder's lock; the network calls do not hold it.
//
// Start runs a thread that sends at once (what earlier runs left queued),
// after every recorded unit (Wake, the recorder's callback) and, while the
// database does not answer, again every retry period, so the queue goes as
// soon as it answers again. Its waits go through the station's Clock.
// Finish stops the thread and sends what is left, once: the run's records
// go before the program exits, within the connection's bounded waits.
//
// What happens is told through `note` (the log): the first failure of a
// streak, and the return of the database with the number of units sent.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "history/central_store.h"
#include "history/history_recorder.h"
#include "platform/clock.h"

namespace flashery {

class CentralSender {
 public:
  static constexpr uint32_t kRetryMs = 30000;
  static constexpr uint32_t kPollMs = 250;

  CentralSender(HistoryRecorder& recorder, std::string conninfo, Clock& clock,
                std::function<void(const std::string&)> note);
  ~CentralSender();
  CentralSender(const CentralSender&) = delete;
  CentralSender& operator=(const CentralSender&) = delete;

  // Units sent, or nullopt (why) when the database did not take them all.
  std::optional<int> SendPending(std::string* why = nullptr);
  void Start();
  void Wake() { wake_ = true; }
  // Stops the thread and sends what is queued; true when nothing is left.
  bool Finish();

 private:
  void Run();
  void Note(bool ok, int sent, const std::string& why);

  HistoryRecorder& recorder_;
  CentralStore store_;
  Clock& clock_;
  std::function<void(const std::string&)> note_;
  std::atomic<bool> wake_{false};
  std::atomic<bool> stop_{false};
  bool failing_ = false;  // the last attempt failed (told once)
  std::thread thread_;
};

}  // namespace flashery
