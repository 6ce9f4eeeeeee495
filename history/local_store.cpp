#include "history/local_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

namespace flashery {

namespace {

// One prepared statement; finalized on every path.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  bool ok() const { return ok_; }
  Statement& Text(int i, const std::string& s) {
    ok_ = ok_ && sqlite3_bind_text(stmt_, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  Statement& Int(int i, int64_t v) {
    ok_ = ok_ && sqlite3_bind_int64(stmt_, i, v) == SQLITE_OK;
    return *this;
  }
  Statement& Real(int i, double v) {
    ok_ = ok_ && sqlite3_bind_double(stmt_, i, v) == SQLITE_OK;
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return ok_ ? sqlite3_step(stmt_) : SQLITE_ERROR; }
  bool Run() { return Step() == SQLITE_DONE; }
  std::string ColText(int i) const {
    const unsigned char* t = sqlite3_column_text(stmt_, i);
    return t ? std::string(reinterpret_cast<const char*>(t), static_cast<size_t>(sqlite3_column_bytes(stmt_, i)))
             : std::string();
  }
  int64_t ColInt(int i) const { return sqlite3_column_int64(stmt_, i); }
  double ColReal(int i) const { return sqlite3_column_double(stmt_, i); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
};

const char* const kMigrations[] = {
    // 0 -> 1
    "CREATE TABLE units("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, unit_id TEXT NOT NULL, port INTEGER NOT NULL,"
    " socket_path TEXT NOT NULL, station TEXT NOT NULL, mode TEXT NOT NULL, role TEXT NOT NULL,"
    " package_file TEXT NOT NULL, product TEXT NOT NULL, version TEXT NOT NULL, package_sha256 TEXT NOT NULL,"
    " selection TEXT NOT NULL, started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL DEFAULT '',"
    " result TEXT NOT NULL, failed_step TEXT NOT NULL DEFAULT '', message TEXT NOT NULL DEFAULT '',"
    " bytes INTEGER NOT NULL DEFAULT 0, elapsed_ms INTEGER NOT NULL DEFAULT 0, mb_per_s REAL NOT NULL DEFAULT 0);"
    "CREATE INDEX units_started ON units(started_utc);"
    "CREATE TABLE steps("
    " id INTEGER PRIMARY KEY AUTOINCREMENT, unit INTEGER NOT NULL REFERENCES units(id), step TEXT NOT NULL,"
    " item TEXT NOT NULL, started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL DEFAULT '', outcome TEXT NOT NULL);"
    "CREATE INDEX steps_unit ON steps(unit);",
    // 1 -> 2
    "ALTER TABLE units ADD COLUMN central_sent INTEGER NOT NULL DEFAULT 0;"
    "CREATE INDEX units_unsent ON units(central_sent, result);",
};
static_assert(sizeof kMigrations / sizeof kMigrations[0] == LocalStore::kSchemaVersion);

constexpr const char* kUnitColumns =
    "id, unit_id, port, socket_path, station, mode, role, package_file, product, version, package_sha256,"
    " selection, started_utc, ended_utc, result, failed_step, message, bytes, elapsed_ms, mb_per_s";

UnitRecord UnitFrom(const Statement& s) {
  UnitRecord u;
  u.id = s.ColInt(0);
  u.unitId = s.ColText(1);
  u.port = static_cast<int>(s.ColInt(2));
  u.socketPath = s.ColText(3);
  u.facts.station = s.ColText(4);
  u.facts.mode = s.ColText(5);
  u.facts.role = s.ColText(6);
  u.facts.packageFile = s.ColText(7);
  u.facts.product = s.ColText(8);
  u.facts.version = s.ColText(9);
  u.facts.packageSha256 = s.ColText(10);
  u.facts.selection = s.ColText(11);
  u.startedUtc = s.ColText(12);
  u.endedUtc = s.ColText(13);
  u.result = s.ColText(14);
  u.failedStep = s.ColText(15);
  u.message = s.ColText(16);
  u.bytes = static_cast<uint64_t>(s.ColInt(17));
  u.elapsedMs = static_cast<uint64_t>(s.ColInt(18));
  u.mbPerS = s.ColReal(19);
  return u;
}

}  // namespace

LocalStore::~LocalStore() { sqlite3_close(db_); }

bool LocalStore::Fail(const std::string& what) {
  error_ = what + (db_ ? std::string(": ") + sqlite3_errmsg(db_) : std::string());
  return false;
}

bool LocalStore::Exec(const std::string& sql) {
  char* message = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return true;
  error_ = message ? message : "error";
  sqlite3_free(message);
  return false;
}

bool LocalStore::Open(const std::string& path, bool create) {
  path_ = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      error_ = "not a regular file";
      return false;
    }
  } else if (!create) {
    error_ = "no such file";
    return false;
  }
  int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_FULLMUTEX | (create ? SQLITE_OPEN_CREATE : 0);
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    Fail("cannot open");
    sqlite3_close(db_);
    db_ = nullptr;
    return false;
  }
  sqlite3_busy_timeout(db_, 2000);
  bool ok = Exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;") && Migrate();
  if (!ok) {
    sqlite3_close(db_);
    db_ = nullptr;
  }
  return ok;
}

bool LocalStore::Migrate() {
  Statement version(db_, "PRAGMA user_version");
  if (version.Step() != SQLITE_ROW) return Fail("cannot read the schema version");
  const int64_t have = version.ColInt(0);
  if (have > kSchemaVersion) {
    error_ = "written by a later version of the station (schema " + std::to_string(have) + ")";
    return false;
  }
  for (int64_t v = have; v < kSchemaVersion; ++v) {
    std::string sql = std::string("BEGIN IMMEDIATE;") + kMigrations[v] +
                      "PRAGMA user_version=" + std::to_string(v + 1) + ";COMMIT;";
    if (!Exec(sql)) {
      std::string why = error_;
      Exec("ROLLBACK");
      error_ = "cannot bring the schema to version " + std::to_string(v + 1) + ": " + why;
      return false;
    }
  }
  return true;
}

std::optional<int> LocalStore::MarkInterrupted() {
  if (!Exec("BEGIN IMMEDIATE;"
            "UPDATE steps SET outcome='interrupted' WHERE outcome='running';"
            "UPDATE units SET result='interrupted' WHERE result='running';")) {
    std::string why = error_;
    Exec("ROLLBACK");
    error_ = why;
    return std::nullopt;
  }
  int changed = sqlite3_changes(db_);
  if (!Exec("COMMIT")) {
    Exec("ROLLBACK");
    return std::nullopt;
  }
  return changed;
}

std::optional<int64_t> LocalStore::BeginUnit(const UnitRecord& u) {
  Statement s(db_,
              "INSERT INTO units(unit_id, port, socket_path, station, mode, role, package_file, product, version,"
              " package_sha256, selection, started_utc, result) VALUES(?,?,?,?,?,?,?,?,?,?,?,?,'running')");
  s.Text(1, u.unitId).Int(2, u.port).Text(3, u.socketPath).Text(4, u.facts.station).Text(5, u.facts.mode);
  s.Text(6, u.facts.role).Text(7, u.facts.packageFile).Text(8, u.facts.product).Text(9, u.facts.version);
  s.Text(10, u.facts.packageSha256).Text(11, u.facts.selection).Text(12, u.startedUtc);
  if (!s.Run()) {
    Fail("cannot insert a unit");
    return std::nullopt;
  }
  return sqlite3_last_insert_rowid(db_);
}

std::optional<int64_t> LocalStore::BeginStep(int64_t unit, std::optional<int64_t> previousStep,
                                             const std::string& step, const std::string& item,
                                             const std::string& utc) {
  if (!Exec("BEGIN IMMEDIATE")) return std::nullopt;
  bool ok = true;
  if (previousStep) {
    Statement end(db_, "UPDATE steps SET ended_utc=?, outcome='ok' WHERE id=?");
    ok = end.Text(1, utc).Int(2, *previousStep).Run();
  }
  int64_t id = 0;
  if (ok) {
    Statement insert(db_, "INSERT INTO steps(unit, step, item, started_utc, outcome) VALUES(?,?,?,?,'running')");
    ok = insert.Int(1, unit).Text(2, step).Text(3, item).Text(4, utc).Run();
    id = sqlite3_last_insert_rowid(db_);
  }
  if (!ok || !Exec("COMMIT")) {
    Fail("cannot record a step");
    std::string why = error_;
    Exec("ROLLBACK");
    error_ = why;
    return std::nullopt;
  }
  return id;
}

bool LocalStore::EndUnit(const UnitRecord& u, std::optional<int64_t> currentStep, const std::string& stepOutcome) {
  if (!Exec("BEGIN IMMEDIATE")) return false;
  bool ok = true;
  if (currentStep) {
    Statement end(db_, "UPDATE steps SET ended_utc=?, outcome=? WHERE id=?");
    ok = end.Text(1, u.endedUtc).Text(2, stepOutcome).Int(3, *currentStep).Run();
  }
  if (ok) {
    Statement s(db_,
                "UPDATE units SET ended_utc=?, result=?, failed_step=?, message=?, bytes=?, elapsed_ms=?, mb_per_s=?"
                " WHERE id=?");
    s.Text(1, u.endedUtc).Text(2, u.result).Text(3, u.failedStep).Text(4, u.message);
    s.Int(5, static_cast<int64_t>(u.bytes)).Int(6, static_cast<int64_t>(u.elapsedMs)).Real(7, u.mbPerS).Int(8, u.id);
    ok = s.Run() && sqlite3_changes(db_) == 1;
  }
  if (!ok || !Exec("COMMIT")) {
    Fail("cannot complete a unit");
    std::string why = error_;
    Exec("ROLLBACK");
    error_ = why;
    return false;
  }
  return true;
}

std::optional<std::vector<UnitRecord>> LocalStore::Query(const HistoryFilter& f) {
  std::string sql = std::string("SELECT ") + kUnitColumns +
                    " FROM units WHERE (?1='' OR started_utc>=?1) AND (?2='' OR started_utc<=?2)"
                    " AND (?3='' OR unit_id=?3) AND (?4=0 OR port=?4) AND (?5='' OR result=?5) ORDER BY id";
  Statement s(db_, sql.c_str());
  s.Text(1, f.since).Text(2, f.until).Text(3, f.unitId).Int(4, f.port).Text(5, f.result);
  std::vector<UnitRecord> out;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) out.push_back(UnitFrom(s));
  if (rc != SQLITE_DONE) {
    Fail("cannot read the units");
    return std::nullopt;
  }
  return out;
}

std::optional<std::vector<StepRecord>> LocalStore::Steps(int64_t unit) {
  Statement s(db_, "SELECT unit, step, item, started_utc, ended_utc, outcome FROM steps WHERE unit=? ORDER BY id");
  s.Int(1, unit);
  std::vector<StepRecord> out;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW)
    out.push_back({s.ColInt(0), s.ColText(1), s.ColText(2), s.ColText(3), s.ColText(4), s.ColText(5)});
  if (rc != SQLITE_DONE) {
    Fail("cannot read the steps");
    return std::nullopt;
  }
  return out;
}

std::optional<std::vector<PortCounts>> LocalStore::CountsSince(const std::string& fromUtc) {
  Statement s(db_,
              "SELECT port, COUNT(*), SUM(result='ok') FROM units WHERE started_utc>=? AND result<>'running'"
              " GROUP BY port");
  s.Text(1, fromUtc);
  std::vector<PortCounts> out(8);
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) {
    int64_t port = s.ColInt(0);
    if (port < 1 || port > 8) continue;
    PortCounts& c = out[static_cast<size_t>(port - 1)];
    c.units = static_cast<int>(s.ColInt(1));
    c.good = static_cast<int>(s.ColInt(2));
    c.failed = c.units - c.good;
  }
  if (rc != SQLITE_DONE) {
    Fail("cannot count the units");
    return std::nullopt;
  }
  return out;
}

std::optional<std::vector<UnitRecord>> LocalStore::Unsent(int limit) {
  std::string sql = std::string("SELECT ") + kUnitColumns +
                    " FROM units WHERE central_sent=0 AND result<>'running' ORDER BY id LIMIT ?";
  Statement s(db_, sql.c_str());
  s.Int(1, limit);
  std::vector<UnitRecord> out;
  int rc;
  while ((rc = s.Step()) == SQLITE_ROW) out.push_back(UnitFrom(s));
  if (rc != SQLITE_DONE) {
    Fail("cannot read the queue");
    return std::nullopt;
  }
  return out;
}

bool LocalStore::MarkSent(const std::vector<int64_t>& ids) {
  if (!Exec("BEGIN IMMEDIATE")) return false;
  bool ok = true;
  for (int64_t id : ids) {
    Statement s(db_, "UPDATE units SET central_sent=1 WHERE id=?");
    ok = ok && s.Int(1, id).Run();
  }
  if (!ok || !Exec("COMMIT")) {
    Fail("cannot mark units as sent");
    std::string why = error_;
    Exec("ROLLBACK");
    error_ = why;
    return false;
  }
  return true;
}

std::optional<int> LocalStore::UnsentCount() {
  Statement s(db_, "SELECT COUNT(*) FROM units WHERE central_sent=0 AND result<>'running'");
  if (s.Step() != SQLITE_ROW) {
    Fail("cannot read the queue");
    return std::nullopt;
  }
  return static_cast<int>(s.ColInt(0));
}

}  // namespace flashery
