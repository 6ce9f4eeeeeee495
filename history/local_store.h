// LocalStore: the station's own history database, an SQLite file in the
// program folder (history.sqlite), in WAL mode so that `flashery history`
// reads while a station writes.
//
// Schema, versioned by PRAGMA user_version and migrated forward on open,
// each migration in one transaction:
//   1  units (one row per port job) and steps (one row per step of a unit);
//   2  units.central_sent: 0 until the unit's record reached the central
//      database (the queue of the central store).
// A file of a later version than this program knows is refused, never
// written to. A file that is not a database is refused the same way.
//
// Every write is checked; a failed call returns false (or nullopt) and
// error() says why, in SQLite's words. Nothing here throws. One object is
// not for use from two threads at once: its owner guards it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "history/unit_record.h"

struct sqlite3;

namespace flashery {

class LocalStore {
 public:
  static constexpr int kSchemaVersion = 2;

  LocalStore() = default;
  ~LocalStore();
  LocalStore(const LocalStore&) = delete;
  LocalStore& operator=(const LocalStore&) = delete;

  // create: make the file when missing (a station); otherwise a missing
  // file is an error (a query).
  bool Open(const std::string& path, bool create);
  bool isOpen() const { return db_ != nullptr; }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

  // Units (and their steps) still running from an earlier start become
  // interrupted. How many units, or nullopt.
  std::optional<int> MarkInterrupted();

  // Inserts a running unit; its local id.
  std::optional<int64_t> BeginUnit(const UnitRecord& unit);
  // In one transaction: ends `previousStep` (when given) with `outcome` at
  // `utc` and inserts the next step; the new step's id.
  std::optional<int64_t> BeginStep(int64_t unit, std::optional<int64_t> previousStep, const std::string& step,
                                   const std::string& item, const std::string& utc);
  // In one transaction: ends the current step (when given) with
  // `stepOutcome` and completes the unit's row from `unit` (by unit.id).
  bool EndUnit(const UnitRecord& unit, std::optional<int64_t> currentStep, const std::string& stepOutcome);

  // Units in order of their local id.
  std::optional<std::vector<UnitRecord>> Query(const HistoryFilter& filter);
  std::optional<std::vector<StepRecord>> Steps(int64_t unit);
  // Per port, units that started at or after fromUtc (running ones left out).
  std::optional<std::vector<PortCounts>> CountsSince(const std::string& fromUtc);

  // The central queue: ended units not yet sent, oldest first, at most `limit`.
  std::optional<std::vector<UnitRecord>> Unsent(int limit);
  bool MarkSent(const std::vector<int64_t>& ids);
  std::optional<int> UnsentCount();

  // For tests: forces the schema version (a migration or a future file).
  bool Exec(const std::string& sql);

 private:
  bool Fail(const std::string& what);
  bool Migrate();

  sqlite3* db_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace flashery
