#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <thread>

#include "history/history_recorder.h"
#include "history/local_store.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

// A recorder over a real file, with a UTC clock that advances one second per
// reading from 2026-12-07T08:00:00Z.
class HistoryTest : public ::testing::Test {
 protected:
  std::unique_ptr<HistoryRecorder> NewRecorder() {
    auto r = std::make_unique<HistoryRecorder>(
        path_,
        [this](const std::string& p, const std::string& why) {
          said_.push_back(p + ": " + why);
          if (current_) current_->unitsRecorded();  // said outside the recorder's lock
        },
        [this] { return utcMs_ += 1000; });
    return r;
  }
  std::vector<UnitRecord> Units(const HistoryFilter& f = {}) {
    LocalStore store;
    EXPECT_TRUE(store.Open(path_, false)) << store.error();
    return store.Query(f).value_or(std::vector<UnitRecord>{});
  }
  std::vector<StepRecord> Steps(int64_t unit) {
    LocalStore store;
    EXPECT_TRUE(store.Open(path_, false));
    return store.Steps(unit).value_or(std::vector<StepRecord>{});
  }

  testing::TempDir dir_;
  std::string path_ = dir_ / "history.sqlite";
  int64_t utcMs_ = 1796630400000;  // 2026-12-07T08:00:00Z
  std::vector<std::string> said_;
  HistoryRecorder* current_ = nullptr;
};

struct Event {
  JobStep step;
  const char* item;
};

TEST_F(HistoryTest, EachJobIsOneUnitWithItsStepsAndOutcome) {
  struct Case {
    const char* name;
    std::vector<Event> steps;
    JobResult result;
    const char* reason;
    const char* wantResult;
    const char* wantStep;
    std::vector<std::string> wantOutcomes;
  };
  const Case cases[] = {
      {"ok", {{JobStep::Open, ""}, {JobStep::Image, "system"}, {JobStep::Completion, ""}}, JobResult::Ok, "", "ok", "",
       {"ok", "ok", "ok"}},
      {"image fails", {{JobStep::Open, ""}, {JobStep::Image, "NK"}}, JobResult::Failed, "write failed", "failed",
       "image", {"ok", "failed"}},
      {"open fails", {{JobStep::Open, ""}}, JobResult::Failed, "no answer", "failed", "open", {"failed"}},
      {"stopped", {{JobStep::Open, ""}, {JobStep::FileSet, "gps"}}, JobResult::Stopped, "Stopped by the operator",
       "stopped", "file-set", {"ok", "stopped"}},
  };
  auto recorder = NewRecorder();
  ASSERT_TRUE(recorder->Open());
  int port = 0;
  for (const Case& c : cases) {
    RunFacts facts{"st1", "unattended", "operator", "rel.qfm", "T745", "V1", "ab12", "system"};
    recorder->SetJobFacts(port, facts);
    recorder->OnJobStarted({port, std::string("SN-") + c.name, "1-1.2", 5000, 0});
    for (const Event& e : c.steps) recorder->OnStep(port, e.step, e.item);
    recorder->OnBytes(port, 2000);
    recorder->OnJobEnded({port, "", c.result, c.steps.back().step, c.reason, 4000000, 2000});
    ++port;
  }
  EXPECT_EQ(recorder->unitsRecorded(), 4);
  std::vector<UnitRecord> units = Units();
  ASSERT_EQ(units.size(), std::size(cases));
  for (size_t i = 0; i < units.size(); ++i) {
    const Case& c = cases[i];
    const UnitRecord& u = units[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(u.unitId, std::string("SN-") + c.name);
    EXPECT_EQ(u.port, static_cast<int>(i) + 1);
    EXPECT_EQ(u.socketPath, "1-1.2");
    EXPECT_EQ(u.facts.packageSha256, "ab12");
    EXPECT_EQ(u.facts.station, "st1");
    EXPECT_EQ(u.result, c.wantResult);
    EXPECT_EQ(u.failedStep, c.wantStep);
    EXPECT_EQ(u.message, c.reason);
    EXPECT_EQ(u.bytes, 4000000u);
    EXPECT_EQ(u.elapsedMs, 1000 * (c.steps.size() + 1));  // one second per reading of the UTC clock
    EXPECT_DOUBLE_EQ(u.mbPerS, 4.0 / static_cast<double>(c.steps.size() + 1));
    EXPECT_LT(u.startedUtc, u.endedUtc);
    EXPECT_EQ(u.startedUtc.substr(0, 11), "2026-12-07T");
    std::vector<StepRecord> steps = Steps(u.id);
    ASSERT_EQ(steps.size(), c.wantOutcomes.size());
    for (size_t s = 0; s < steps.size(); ++s) {
      EXPECT_EQ(steps[s].outcome, c.wantOutcomes[s]);
      EXPECT_EQ(steps[s].item, c.steps[s].item);
      EXPECT_FALSE(steps[s].endedUtc.empty());
    }
  }
  EXPECT_TRUE(said_.empty());

  // Filters, and the per-port counts the window shows.
  struct Query {
    HistoryFilter filter;
    std::vector<int> ports;
  };
  const Query queries[] = {
      {{}, {1, 2, 3, 4}},
      {{"", "", "", 0, "failed"}, {2, 3}},
      {{"", "", "SN-stopped", 0, ""}, {4}},
      {{"", "", "", 3, ""}, {3}},
      {{"2026-12-08T00:00:00.000Z", "", "", 0, ""}, {}},
      {{"", "2026-12-07T08:00:09.999Z", "", 0, ""}, {1, 2}},
  };
  for (const Query& q : queries) {
    std::vector<int> got;
    for (const UnitRecord& u : Units(q.filter)) got.push_back(u.port);
    EXPECT_EQ(got, q.ports);
  }
  auto counts = recorder->CountsSince("2026-12-07T00:00:00.000Z");
  ASSERT_TRUE(counts);
  EXPECT_EQ((*counts)[0].good, 1);
  EXPECT_EQ((*counts)[1].failed, 1);
  EXPECT_EQ((*counts)[4].units, 0);
}

// A station killed during a job leaves a running unit; the next start marks
// it and its step interrupted and records on.
TEST_F(HistoryTest, AKilledStationLeavesUnitsTheNextStartMarksInterrupted) {
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto r = NewRecorder();
    if (!r->Open()) _exit(3);
    r->OnJobStarted({2, "SN-KILLED", "", 0, 0});
    r->OnStep(2, JobStep::Image, "system");
    ::kill(getpid(), SIGKILL);
    _exit(4);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_EQ(Units().at(0).result, "running");

  auto recorder = NewRecorder();
  ASSERT_TRUE(recorder->Open());
  std::vector<UnitRecord> units = Units();
  ASSERT_EQ(units.size(), 1u);
  EXPECT_EQ(units[0].result, "interrupted");
  EXPECT_EQ(units[0].port, 3);
  EXPECT_EQ(Steps(units[0].id).at(0).outcome, "interrupted");
  recorder->OnJobStarted({2, "SN-NEXT", "", 0, 0});
  recorder->OnJobEnded({2, "", JobResult::Ok, JobStep::Completion, "", 0, 0});
  EXPECT_EQ(Units().back().result, "ok");
}

// Eight jobs at once, on their own threads, while the window reads counts.
TEST_F(HistoryTest, PortsRecordAtTheSameTime) {
  std::atomic<int64_t> utc{1796630400000};
  auto recorder = std::make_unique<HistoryRecorder>(path_, nullptr, [&] { return utc += 10; });
  ASSERT_TRUE(recorder->Open());
  constexpr int kUnits = 10;
  std::vector<std::thread> jobs;
  for (int port = 0; port < 8; ++port) {
    jobs.emplace_back([&, port] {
      for (int i = 0; i < kUnits; ++i) {
        recorder->OnJobStarted({port, "SN" + std::to_string(port), "", 0, 0});
        recorder->OnStep(port, JobStep::Open, "");
        recorder->OnBytes(port, 10);
        recorder->OnStep(port, JobStep::Image, "system");
        recorder->OnJobEnded({port, "", i % 2 ? JobResult::Ok : JobResult::Failed, JobStep::Image, "", 10, 1});
      }
    });
  }
  jobs.emplace_back([&] {
    for (int i = 0; i < 20; ++i) EXPECT_TRUE(recorder->CountsSince(""));
  });
  for (auto& t : jobs) t.join();
  EXPECT_EQ(recorder->unitsRecorded(), 8 * kUnits);
  auto counts = recorder->CountsSince("");
  ASSERT_TRUE(counts);
  for (const PortCounts& c : *counts) {
    EXPECT_EQ(c.units, kUnits);
    EXPECT_EQ(c.good, kUnits / 2);
  }
  for (const UnitRecord& u : Units()) ASSERT_EQ(Steps(u.id).size(), 2u);
}

// An older file is migrated in place keeping its rows; a later version, a
// file that is no database or a store that cannot be made is refused and
// said once, and the jobs go on unrecorded.
TEST_F(HistoryTest, SchemaIsMigratedAndUnusableStoresAreSaidOnce) {
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE units(id INTEGER PRIMARY KEY AUTOINCREMENT, unit_id TEXT NOT NULL,"
                           " port INTEGER NOT NULL, socket_path TEXT NOT NULL, station TEXT NOT NULL, mode TEXT NOT NULL,"
                           " role TEXT NOT NULL, package_file TEXT NOT NULL, product TEXT NOT NULL, version TEXT NOT NULL,"
                           " package_sha256 TEXT NOT NULL, selection TEXT NOT NULL, started_utc TEXT NOT NULL,"
                           " ended_utc TEXT NOT NULL DEFAULT '', result TEXT NOT NULL, failed_step TEXT NOT NULL DEFAULT '',"
                           " message TEXT NOT NULL DEFAULT '', bytes INTEGER NOT NULL DEFAULT 0,"
                           " elapsed_ms INTEGER NOT NULL DEFAULT 0, mb_per_s REAL NOT NULL DEFAULT 0);"
                           "CREATE TABLE steps(id INTEGER PRIMARY KEY AUTOINCREMENT, unit INTEGER NOT NULL, step TEXT NOT NULL,"
                           " item TEXT NOT NULL, started_utc TEXT NOT NULL, ended_utc TEXT NOT NULL DEFAULT '',"
                           " outcome TEXT NOT NULL);"
                           "INSERT INTO units(unit_id, port, socket_path, station, mode, role, package_file, product,"
                           " version, package_sha256, selection, started_utc, result)"
                           " VALUES('OLD', 1, '', 's', 'window', 'operator', 'p.qfm', 'T', 'V', '', '', '2026-01-01', 'ok');"
                           "PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
  }
  {
    LocalStore store;
    ASSERT_TRUE(store.Open(path_, false)) << store.error();
    EXPECT_EQ(store.UnsentCount(), 1);  // the old unit joins the central queue
    EXPECT_EQ(store.Query({}).value().at(0).unitId, "OLD");
    ASSERT_TRUE(store.Exec("PRAGMA user_version=99"));
  }
  LocalStore later;
  EXPECT_FALSE(later.Open(path_, false));
  EXPECT_NE(later.error().find("later version"), std::string::npos);

  const std::string notADatabase = dir_ / "junk.sqlite";
  ASSERT_TRUE(WriteFileAtomic(notADatabase, std::string(4096, 'x')));
  const std::string cases[] = {notADatabase, dir_ / "no-such-folder/history.sqlite", dir_.path()};
  for (const std::string& where : cases) {
    SCOPED_TRACE(where);
    said_.clear();
    path_ = where;
    auto recorder = NewRecorder();
    current_ = recorder.get();
    EXPECT_FALSE(recorder->Open());
    recorder->OnJobStarted({0, "SN", "", 0, 0});
    recorder->OnStep(0, JobStep::Open, "");
    recorder->OnJobEnded({0, "", JobResult::Ok, JobStep::Open, "", 0, 0});
    EXPECT_EQ(said_.size(), 1u);
    EXPECT_EQ(recorder->unitsRecorded(), 0);
    current_ = nullptr;
  }
}

}  // namespace
}  // namespace flashery
