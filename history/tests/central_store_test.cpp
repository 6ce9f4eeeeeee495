// Against a real PostgreSQL server that the test starts itself: initdb into
// a temporary folder as an unprivileged user (nobody when run as root),
// listening on a Unix socket in that folder only, stopped at the end.
#include <gtest/gtest.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <set>

#include "history/central_sender.h"
#include "history/central_store.h"
#include "history/history_recorder.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

std::string PostgresBin() {
  glob_t g{};
  std::string found;
  if (glob("/usr/lib/postgresql/*/bin/pg_ctl", 0, nullptr, &g) == 0 && g.gl_pathc > 0) {
    found = g.gl_pathv[g.gl_pathc - 1];
    found.resize(found.size() - std::string("/pg_ctl").size());
  }
  globfree(&g);
  return found;
}

class PgServer {
 public:
  PgServer(std::string bin, std::string dir) : bin_(std::move(bin)), dir_(std::move(dir)) {
    as_ = ::geteuid() == 0 ? "runuser -u nobody -- " : "";
  }
  ~PgServer() {
    if (running_) Stop();
  }
  bool Init() {
    // The server's user must reach its folder inside the test's own.
    const std::string parent = dir_.substr(0, dir_.rfind('/'));
    if (::geteuid() == 0 && (::chmod(parent.c_str(), 0711) != 0 || Sh("chown nobody '" + dir_ + "'") != 0))
      return false;
    return Sh(as_ + bin_ + "/initdb -D '" + dir_ + "/data' -U flashery -A trust -E UTF8 --locale=C --no-sync > '" +
              dir_ + "/initdb.log' 2>&1") == 0;
  }
  bool Start() {
    running_ = Sh(as_ + bin_ + "/pg_ctl -D '" + dir_ + "/data' -l '" + dir_ + "/server.log' -w -t 60 -o \"-k '" +
                  dir_ + "' -c listen_addresses='' -c fsync=off\" start > /dev/null 2>&1") == 0;
    return running_;
  }
  bool Stop() {
    running_ = false;
    return Sh(as_ + bin_ + "/pg_ctl -D '" + dir_ + "/data' -m fast -w stop > /dev/null 2>&1") == 0;
  }
  std::string conninfo() const { return "host=" + dir_ + " dbname=postgres user=flashery"; }

 private:
  static int Sh(const std::string& command) { return std::system(command.c_str()); }
  std::string bin_, dir_, as_;
  bool running_ = false;
};

// A run of `n` units on the recorder, each ended (ok, or failed on port 2).
void RecordUnits(HistoryRecorder& recorder, int n, const std::string& prefix) {
  for (int i = 0; i < n; ++i) {
    int port = i % 8;
    recorder.SetJobFacts(port, {"station-a", "unattended", "operator", "r.qfm", "T745", "V1", "beef", "system"});
    recorder.OnJobStarted({port, prefix + std::to_string(i), "", 0, 0});
    recorder.OnStep(port, JobStep::Open, "");
    recorder.OnJobEnded({port, "", port == 1 ? JobResult::Failed : JobResult::Ok, JobStep::Open,
                         port == 1 ? "no answer" : "", 100, 1000});
  }
}

TEST(CentralStore, EveryUnitArrivesExactlyOnceThoughTheDatabaseStopsDuringARun) {
  const std::string bin = PostgresBin();
  if (bin.empty()) GTEST_SKIP() << "the PostgreSQL server programs (Debian package postgresql) are not installed";
  testing::TempDir dir;
  const std::string pgDir = dir / "pg";
  ASSERT_EQ(::mkdir(pgDir.c_str(), 0700), 0);
  PgServer server(bin, pgDir);
  ASSERT_TRUE(server.Init()) << "initdb failed; see " << pgDir << "/initdb.log";
  ASSERT_TRUE(server.Start());

  FakeClock clock;
  std::vector<std::string> notes;
  auto note = [&](const std::string& text) { notes.push_back(text); };
  HistoryRecorder recorder(dir / "history.sqlite", nullptr);
  ASSERT_TRUE(recorder.Open());
  auto unsent = [&] {
    int n = -1;
    recorder.WithStore([&](LocalStore& s) { n = s.UnsentCount().value_or(-1); });
    return n;
  };

  // A run while the database answers: its units go while it runs (the
  // sender's thread, woken by each recorded unit) or, at the latest, at its end.
  {
    SystemClock realClock;
    CentralSender sender(recorder, server.conninfo(), realClock, note);
    recorder.SetOnUnitEnded([&sender] { sender.Wake(); });
    sender.Start();
    RecordUnits(recorder, 3, "A");
    EXPECT_TRUE(sender.Finish());
    EXPECT_EQ(unsent(), 0);
    recorder.SetOnUnitEnded(nullptr);
  }
  // The database stops during the next run: the units wait in the local store.
  ASSERT_TRUE(server.Stop());
  {
    CentralSender sender(recorder, server.conninfo(), clock, note);
    RecordUnits(recorder, 2, "B");
    std::string why;
    EXPECT_FALSE(sender.SendPending(&why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(sender.Finish());
    EXPECT_EQ(unsent(), 2);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].find("host="), std::string::npos);  // the connection string is never told
  }
  // Back again: the next start sends the queue; a batch sent twice (its
  // mark lost) is still there once.
  ASSERT_TRUE(server.Start());
  {
    CentralSender sender(recorder, server.conninfo(), clock, note);
    EXPECT_EQ(sender.SendPending(), 2);
    recorder.WithStore([](LocalStore& s) { ASSERT_TRUE(s.Exec("UPDATE units SET central_sent=0")); });
    EXPECT_EQ(sender.SendPending(), 5);
    EXPECT_TRUE(sender.Finish());
  }

  CentralStore central(server.conninfo());
  std::string why;
  auto units = central.Query({}, &why);
  ASSERT_TRUE(units) << why;
  std::set<std::pair<std::string, int64_t>> keys;
  std::set<std::string> ids;
  for (const UnitRecord& u : *units) {
    keys.insert({u.facts.station, u.id});
    ids.insert(u.unitId);
  }
  EXPECT_EQ(units->size(), 5u);
  EXPECT_EQ(keys.size(), 5u);
  EXPECT_EQ(ids, (std::set<std::string>{"A0", "A1", "A2", "B0", "B1"}));
  auto failed = central.Query({"", "", "", 2, "failed"}, &why);
  ASSERT_TRUE(failed);
  ASSERT_EQ(failed->size(), 2u);
  EXPECT_EQ(failed->at(0).unitId, "A1");
  EXPECT_EQ(failed->at(1).unitId, "B1");
  EXPECT_EQ(failed->at(0).message, "no answer");
  EXPECT_EQ(failed->at(0).facts.packageSha256, "beef");
  EXPECT_TRUE(server.Stop());
}

}  // namespace
}  // namespace flashery
