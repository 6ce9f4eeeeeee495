// HistoryRecorder: the job listener that keeps the local history store. It
// writes from the job events only (never from status texts):
//   OnJobStarted  inserts the unit's row, state running, with the facts the
//                 starter gave for that port (SetJobFacts);
//   OnStep        ends the previous step (ok) and inserts the next, in one
//                 transaction;
//   OnBytes       is kept in memory, never written on its own;
//   OnJobEnded    ends the current step with the job's result and completes
//                 the unit's row, in one transaction.
// So a unit costs one transaction at its start, one per step and one at its
// end. Open marks units left running by an earlier start (a station killed
// during a job) interrupted.
//
// Jobs call from their own threads; one mutex guards the store and the
// per-port state. A write that fails is said once for the whole run through
// `say` (the store's path and SQLite's reason); the station goes on, the
// unit is then simply not recorded (or not completed) and does not count
// as recorded. A unit's time and MB/s are real time, from its start and end
// on the UTC clock (the station clock may run scaled).
#pragma once

#include <array>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "history/local_store.h"
#include "history/unit_record.h"
#include "history/utc_time.h"
#include "text/job_listener.h"

namespace flashery {

class HistoryRecorder final : public JobListener {
 public:
  // Told once: the store's path and why it could not be written.
  using Say = std::function<void(const std::string& path, const std::string& why)>;

  HistoryRecorder(std::string path, Say say, UtcNowMs utcNow = SystemUtcNowMs);

  // Opens (creating) the store and marks what an earlier start left running
  // interrupted. False (said) when the store cannot be used; the recorder
  // then records nothing.
  bool Open();
  const std::string& path() const { return path_; }

  // What the next job of `port` was asked to do; given by the starter
  // before the job starts.
  void SetJobFacts(int port, const RunFacts& facts);
  // Called (outside the lock) after a unit's end was recorded.
  void SetOnUnitEnded(std::function<void()> callback);

  void OnJobStarted(const JobStart& start) override;
  void OnStep(int port, JobStep step, const std::string& item) override;
  void OnBytes(int port, uint64_t totalBytes) override;
  void OnJobEnded(const JobEnd& end) override;

  // Units whose end this recorder wrote.
  int unitsRecorded() const;
  // Per port (index 0..7 = ports 1..8), ended units that started at or
  // after fromUtc; nullopt when the store cannot be read.
  std::optional<std::vector<PortCounts>> CountsSince(const std::string& fromUtc);
  // The same since the start of today (local calendar day).
  std::optional<std::vector<PortCounts>> CountsToday();
  // Runs `use` with the store under the recorder's lock (the central
  // sender's queue reads and marks).
  void WithStore(const std::function<void(LocalStore&)>& use);

 private:
  struct PortState {
    RunFacts nextFacts;
    std::optional<int64_t> unit;  // the running unit's local id
    std::optional<int64_t> step;  // its current step's id
    int64_t startUtcMs = 0;
    UnitRecord record;
  };
  void Begin(const JobStart& start);
  void Failed(const std::string& why);  // caller holds mutex_; said by SayPending
  // Says a pending failure outside the lock: the operator's answer may take
  // a while, and the other ports (and the window's counts) must not wait.
  void SayPending();
  PortState* Port(int port);

  std::string path_;
  Say say_;
  UtcNowMs utcNow_;
  std::function<void()> onUnitEnded_;
  mutable std::mutex mutex_;
  LocalStore store_;
  bool usable_ = false;
  bool said_ = false;
  std::string toSay_;
  int recorded_ = 0;
  std::array<PortState, 8> ports_;
};

}  // namespace flashery
