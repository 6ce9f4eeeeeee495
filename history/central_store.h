// CentralStore: the shared PostgreSQL database of a line of stations (libpq).
// The connection string is libpq's own (a postgresql:// URI or key=value
// words); the password comes from it, PGPASSWORD or ~/.pgpass, and is never
// printed: messages carry libpq's reason, never the connection string.
//
// On first connect the station creates the table if it is missing:
//   flashery_units: the unit record's fields, keyed by (station, local_id)
//   — the station's host name and the unit's id in its local store.
// Send inserts a batch in one transaction with ON CONFLICT DO NOTHING on
// that key, so a batch sent again (its acknowledgement lost, the local
// mark not written) still leaves every unit exactly once.
//
// Waits are bounded: connecting gives up after connect_timeout (3 s unless
// the connection string says otherwise) and every statement after
// statement_timeout (10 s). Not for two threads at once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "history/unit_record.h"

struct pg_conn;

namespace flashery {

class CentralStore {
 public:
  explicit CentralStore(std::string conninfo) : conninfo_(std::move(conninfo)) {}
  ~CentralStore();
  CentralStore(const CentralStore&) = delete;
  CentralStore& operator=(const CentralStore&) = delete;

  // Connects (again, when the connection was lost) and creates the table.
  bool Connect(std::string* why);
  // The units, in one transaction; false (with why) when the database did
  // not take them — nothing of the batch is then kept there.
  bool Send(const std::vector<UnitRecord>& units, std::string* why);
  std::optional<std::vector<UnitRecord>> Query(const HistoryFilter& filter, std::string* why);

 private:
  void Drop();
  std::string conninfo_;
  pg_conn* conn_ = nullptr;
};

}  // namespace flashery
