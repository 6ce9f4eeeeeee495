#include "history/central_store.h"

#include <libpq-fe.h>

#include <cstdlib>

namespace flashery {

namespace {

std::string Reason(PGconn* conn) {
  std::string s = conn ? PQerrorMessage(conn) : "out of memory";
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s.empty() ? "no answer" : s;
}

// One result, cleared on every path.
class Result {
 public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  bool Command() const { return r_ && PQresultStatus(r_) == PGRES_COMMAND_OK; }
  bool Rows() const { return r_ && PQresultStatus(r_) == PGRES_TUPLES_OK; }
  int count() const { return PQntuples(r_); }
  std::string Text(int row, int col) const { return PQgetvalue(r_, row, col); }

 private:
  PGresult* r_;
};

constexpr const char* kCreate =
    "CREATE TABLE IF NOT EXISTS flashery_units("
    " station TEXT NOT NULL, local_id BIGINT NOT NULL, unit_id TEXT NOT NULL, port INTEGER NOT NULL,"
    " socket_path TEXT NOT NULL, mode TEXT NOT NULL, role TEXT NOT NULL, package_file TEXT NOT NULL,"
    " product TEXT NOT NULL, version TEXT NOT NULL, package_sha256 TEXT NOT NULL, selection TEXT NOT NULL,"
    " started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL, result TEXT NOT NULL, failed_step TEXT NOT NULL,"
    " message TEXT NOT NULL, bytes BIGINT NOT NULL, elapsed_ms BIGINT NOT NULL, mb_per_s DOUBLE PRECISION NOT NULL,"
    " received_at TIMESTAMPTZ NOT NULL DEFAULT now(), PRIMARY KEY(station, local_id))";

constexpr const char* kInsert =
    "INSERT INTO flashery_units(station, local_id, unit_id, port, socket_path, mode, role, package_file, product,"
    " version, package_sha256, selection, started_utc, ended_utc, result, failed_step, message, bytes, elapsed_ms,"
    " mb_per_s) VALUES($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13,$14,$15,$16,$17,$18,$19,$20)"
    " ON CONFLICT (station, local_id) DO NOTHING";

constexpr const char* kSelect =
    "SELECT station, local_id, unit_id, port, socket_path, mode, role, package_file, product, version,"
    " package_sha256, selection, started_utc, ended_utc, result, failed_step, message, bytes, elapsed_ms, mb_per_s"
    " FROM flashery_units WHERE ($1='' OR started_utc>=$1) AND ($2='' OR started_utc<=$2)"
    " AND ($3='' OR unit_id=$3) AND ($4='0' OR port=$4::integer) AND ($5='' OR result=$5)"
    " ORDER BY started_utc, station, local_id";

// Text is stored as the station has it; PostgreSQL refuses bytes that are
// not UTF-8, so those become U+FFFD rather than losing the whole unit.
std::string Utf8(const std::string& s) {
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    bool ok = len > 0 && i + len <= s.size() && c != 0;
    for (size_t k = 1; ok && k < len; ++k) ok = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (ok && len == 2) ok = c >= 0xC2;
    if (ok && len == 3) {
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      ok = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0);
    }
    if (ok && len == 4) {
      unsigned char d = static_cast<unsigned char>(s[i + 1]);
      ok = c <= 0xF4 && !(c == 0xF0 && d < 0x90) && !(c == 0xF4 && d >= 0x90);
    }
    if (ok) {
      out.append(s, i, len);
      i += len;
    } else {
      out += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return out;
}

}  // namespace

CentralStore::~CentralStore() { Drop(); }

void CentralStore::Drop() {
  if (conn_) PQfinish(conn_);
  conn_ = nullptr;
}

bool CentralStore::Connect(std::string* why) {
  if (conn_ && PQstatus(conn_) == CONNECTION_OK) return true;
  Drop();
  // Ours first: a value the connection string gives wins over them.
  const char* keys[] = {"connect_timeout", "options", "application_name", "dbname", nullptr};
  const char* values[] = {"3", "-c statement_timeout=10000", "flashery", conninfo_.c_str(), nullptr};
  conn_ = PQconnectdbParams(keys, values, 1);
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
    if (why) *why = Reason(conn_);
    Drop();
    return false;
  }
  PQsetNoticeProcessor(conn_, [](void*, const char*) {}, nullptr);  // notices are not for the operator
  Result create(PQexec(conn_, kCreate));
  if (!create.Command()) {
    // Two stations creating it at once: the loser's statement fails; the
    // table is there for the next try.
    if (why) *why = Reason(conn_);
    Drop();
    return false;
  }
  return true;
}

bool CentralStore::Send(const std::vector<UnitRecord>& units, std::string* why) {
  if (!Connect(why)) return false;
  auto fail = [&] {
    if (why) *why = Reason(conn_);
    Drop();  // the next Send connects afresh; nothing of this batch was committed
    return false;
  };
  if (!Result(PQexec(conn_, "BEGIN")).Command()) return fail();
  for (const UnitRecord& u : units) {
    const std::string text[] = {Utf8(u.facts.station),
                                std::to_string(u.id),
                                Utf8(u.unitId),
                                std::to_string(u.port),
                                Utf8(u.socketPath),
                                Utf8(u.facts.mode),
                                Utf8(u.facts.role),
                                Utf8(u.facts.packageFile),
                                Utf8(u.facts.product),
                                Utf8(u.facts.version),
                                Utf8(u.facts.packageSha256),
                                Utf8(u.facts.selection),
                                u.startedUtc,
                                u.endedUtc,
                                u.result,
                                u.failedStep,
                                Utf8(u.message),
                                std::to_string(u.bytes),
                                std::to_string(u.elapsedMs),
                                std::to_string(u.mbPerS)};
    const char* params[20];
    for (int i = 0; i < 20; ++i) params[i] = text[i].c_str();
    if (!Result(PQexecParams(conn_, kInsert, 20, nullptr, params, nullptr, nullptr, 0)).Command()) return fail();
  }
  if (!Result(PQexec(conn_, "COMMIT")).Command()) return fail();
  return true;
}

std::optional<std::vector<UnitRecord>> CentralStore::Query(const HistoryFilter& f, std::string* why) {
  if (!Connect(why)) return std::nullopt;
  const std::string port = std::to_string(f.port);
  const char* params[] = {f.since.c_str(), f.until.c_str(), f.unitId.c_str(), port.c_str(), f.result.c_str()};
  Result r(PQexecParams(conn_, kSelect, 5, nullptr, params, nullptr, nullptr, 0));
  if (!r.Rows()) {
    if (why) *why = Reason(conn_);
    Drop();
    return std::nullopt;
  }
  std::vector<UnitRecord> out;
  for (int i = 0; i < r.count(); ++i) {
    UnitRecord u;
    u.facts.station = r.Text(i, 0);
    u.id = std::strtoll(r.Text(i, 1).c_str(), nullptr, 10);
    u.unitId = r.Text(i, 2);
    u.port = std::atoi(r.Text(i, 3).c_str());
    u.socketPath = r.Text(i, 4);
    u.facts.mode = r.Text(i, 5);
    u.facts.role = r.Text(i, 6);
    u.facts.packageFile = r.Text(i, 7);
    u.facts.product = r.Text(i, 8);
    u.facts.version = r.Text(i, 9);
    u.facts.packageSha256 = r.Text(i, 10);
    u.facts.selection = r.Text(i, 11);
    u.startedUtc = r.Text(i, 12);
    u.endedUtc = r.Text(i, 13);
    u.result = r.Text(i, 14);
    u.failedStep = r.Text(i, 15);
    u.message = r.Text(i, 16);
    u.bytes = std::strtoull(r.Text(i, 17).c_str(), nullptr, 10);
    u.elapsedMs = std::strtoull(r.Text(i, 18).c_str(), nullptr, 10);
    u.mbPerS = std::strtod(r.Text(i, 19).c_str(), nullptr);
    out.push_back(std::move(u));
  }
  return out;
}

}  // namespace flashery
