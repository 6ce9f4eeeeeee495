#include "engine/port_job.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <thread>

#include "engine/block_plan.h"
#include "platform/files.h"
#include "station_harness.h"
#include "text/job_listener.h"
#include "text/station_texts.h"

namespace flashery::test {
namespace {

using K = QfmSectionKey;
using C = sim::CommandKind;
using Ended = std::vector<std::pair<int, bool>>;

sim::FaultList Refuse(std::vector<sim::CommandFault> refuse) {
  sim::FaultList f;
  f.refuse = std::move(refuse);
  return f;
}

// A station with a handset on port 0 showing `faults`; with `product` a
// package of seven images (all selected), with `sets` the three file sets.
std::unique_ptr<Station> Job(const char* product, sim::FaultList faults = {}, bool sets = false) {
  auto st = std::make_unique<Station>();
  if (product) {
    st->package.productName = product;
    st->SetSection(K::MLO, TestBytes(1000, 1));
    st->SetSection(K::BL, TestBytes(70000, 2), "u-boot");
    st->SetSection(K::NK, TestBytes(65024, 3), "zImage");
    st->SetSection(K::System, TestBytes(140000, 4), "system");
    st->SetSection(K::Userdata, TestBytes(3000, 5));
    st->SetSection(ExtendKey(1), TestBytes(500, 6), "apps", 0x21);
    st->SetSection(K::Evn, TestBytes(40, 7));
    st->WritePackage();
    st->selection.bootloaderSelected = st->selection.kernelSelected = st->selection.systemSelected = 1;
  }
  if (sets) {
    std::string root = st->dir / "res";
    EXPECT_TRUE(WriteBytes(root + "/内置资源/我的铃声/ring.mp3", TestBytes(70000, 11)));
    EXPECT_TRUE(WriteBytes(root + "/内置资源/resfile_pc.txt", TestBytes(20, 12)));
    EXPECT_TRUE(WriteBytes(root + "/GPS/QUILMAP/bin/nav.bin", TestBytes(1000, 13)));
    EXPECT_TRUE(WriteBytes(st->dir / "app/quillon/presetapp/a.apk", TestBytes(100, 14)));
    st->selection.resourcesFolder = root + "/内置资源";
    st->selection.gpsFolder = root + "/GPS";
    st->selection.brandFolder = st->dir / "app/quillon";
    st->selection.resourcesSelected = st->selection.gpsSelected = st->selection.brandSelected = 1;
  }
  sim::HandsetConfig cfg;
  cfg.faults = std::move(faults);
  st->Plug(0, "H0", cfg);
  return st;
}

// The job event stream as lines: "start H0", "image:u-boot", "end failed image: <reason>".
struct EventLog final : JobListener {
  std::vector<std::string> lines;
  uint64_t bytes = 0;
  void OnJobStarted(const JobStart& s) override { lines.push_back("start " + s.instanceId); }
  void OnStep(int, JobStep step, const std::string& item) override {
    lines.push_back(std::string(JobStepName(step)) + (item.empty() ? "" : ":" + item));
  }
  void OnBytes(int, uint64_t total) override { bytes = total; }
  void OnJobEnded(const JobEnd& e) override {
    lines.push_back(std::string("end ") + JobResultName(e.result) + " " + JobStepName(e.step) + ": " + e.reason);
  }
};

void ExpectImages(Station& st, int port) {
  const std::string& f = st.handset(port).folder();
  for (auto [key, code] : {std::pair{K::MLO, 1}, {K::BL, 2}, {K::NK, 4}, {K::System, 5}, {K::Userdata, 6},
                           {ExtendKey(1), 0x21}, {K::Evn, 3}})
    ExpectImage(f, static_cast<uint8_t>(code), st.sectionBytes[key]);
}

TEST(PortJob, ImagesOnlyAndNothingSelected) {
  auto st = Job("P100");
  ASSERT_TRUE(st->Run(0));
  auto r = st->handset(0).Report();
  EXPECT_EQ(Rejections(r), "");
  ExpectImages(*st, 0);
  EXPECT_EQ(r.images[3].segments, 1u);  // the system image went in segments
  EXPECT_EQ(r.finishImagesFlag, 0);
  EXPECT_EQ(r.restarts, 0u);
  EXPECT_EQ(st->records.State(0), kPortFinished);
  EXPECT_EQ(st->view.ended(), (Ended{{0, true}}));
  EXPECT_EQ(st->view.progress(0).back(), 0u);
  EXPECT_EQ(st->Count(" QFM Download success time:00:00:"), 1u);
  EXPECT_EQ(st->Count("[55] 00:00:"), 1u);
  EXPECT_EQ(st->Count("[43]"), 1u);

  // Nothing selected: the job fails before it opens the handset.
  auto none = Job(nullptr);
  EXPECT_FALSE(none->Run(0));
  EXPECT_TRUE(none->handset(0).Report().images.empty());
  EXPECT_EQ(none->Count(" QFM Download success time:"), 0u);
}

TEST(PortJob, WithFileSetsRunsBothRestartsAndTheSets) {
  auto st = Job("P100", {}, true);
  ASSERT_TRUE(st->Run(0));
  auto r = st->handset(0).Report();
  EXPECT_EQ(Rejections(r), "");
  ExpectImages(*st, 0);
  EXPECT_EQ(r.finishImagesFlag, 1);
  EXPECT_EQ(r.restartFlag, 0);
  EXPECT_EQ(r.restarts, 2u);
  EXPECT_EQ(r.prepared, (std::vector<int>{4, 3, 2, 5}));  // brand, resources, GPS
  EXPECT_TRUE(r.fileSetsFinished && r.completed);
  ExpectStorageMirrors(st->handset(0).folder(), "quillon", st->selection.brandFolder);
  ExpectStorageMirrors(st->handset(0).folder(), "udisk", st->selection.resourcesFolder);
  ExpectStorageMirrors(st->handset(0).folder(), "gpsdata", st->selection.gpsFolder);
  EXPECT_EQ(st->view.ended(), (Ended{{0, true}}));
  auto progress = st->view.progress(0);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[progress.size() - 2], kProgressMax + 1);  // full bar, then the end line
  EXPECT_EQ(progress.back(), 0u);
}

TEST(PortJob, T745PackageRestartsWithoutFileSets) {
  for (int formatMode : {0, 1}) {
    SCOPED_TRACE(formatMode);
    auto st = Job("QUILLON_T745");
    st->selection.formatMode = formatMode;
    ASSERT_TRUE(st->Run(0));
    auto r = st->handset(0).Report();
    EXPECT_EQ(Rejections(r), "");
    ExpectImages(*st, 0);
    EXPECT_EQ(r.images[3].segments, 0u);  // plain system procedure
    EXPECT_EQ(r.finishImagesFlag, 1);
    EXPECT_EQ(r.restarts, 2u);
    EXPECT_EQ(r.prepared, (formatMode == 0 ? std::vector<int>{4, 3} : std::vector<int>{1}));
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(r.fileSetsFinished);
  }
  // Without the system image the package is no T745 download.
  auto st = Job("QUILLON_T745");
  st->selection.systemSelected = 0;
  ASSERT_TRUE(st->Run(0));
  EXPECT_EQ(st->handset(0).Report().restarts, 0u);
  EXPECT_EQ(st->handset(0).Report().finishImagesFlag, 0);
}

TEST(PortJob, AFailedImageIsAbortedAndRepeatedOnce) {
  // The third BeginImage is the kernel's; the segmented system image fails
  // and is repeated plain.
  auto st = Job("P100", Refuse({{C::kBeginImage, 1, 3}, {C::kCommitSegment}}));
  ASSERT_TRUE(st->Run(0));
  auto r = st->handset(0).Report();
  ExpectImages(*st, 0);
  EXPECT_EQ(TraceCount(r, "AbortImage"), 2u);
  EXPECT_EQ(TraceCount(r, "CommitSegment"), 1u);
  EXPECT_EQ(r.images[3].segments, 0u);
  EXPECT_EQ(st->Count("[99]"), 2u);

  // Failing twice fails the job; later images are not written.
  auto twice = Job("P100", Refuse({{C::kBeginImage, 2, 3}}));
  EXPECT_FALSE(twice->Run(0));
  EXPECT_EQ(twice->handset(0).Report().images.size(), 2u);
  EXPECT_EQ(twice->view.ended(), (Ended{{0, false}}));
  EXPECT_EQ(twice->Count("[55]"), 0u);
}

TEST(PortJob, UnattendedModeShowsBoxesAndNeverTurnsAFailureIntoSuccess) {
  auto st = Job("P100", Refuse({{C::kBeginImage, 2, 3}}), true);  // sets are never copied here
  EXPECT_FALSE(st->Run(0, true));
  auto r = st->handset(0).Report();
  ASSERT_EQ(st->prompter.records().size(), 1u);
  EXPECT_EQ(st->prompter.records()[0].text, "下载失败，Kernel文件传输出错!请检查设备连接!");
  EXPECT_EQ(r.finishImagesFlag, -1);  // FinishImages is not sent in this mode
  EXPECT_EQ(r.restartFlag, 1);        // the restart runs even after the failure ...
  EXPECT_EQ(st->Count("[55]"), 0u);   // ... but the job stays failed
  EXPECT_TRUE(st->view.statuses(0).empty());
  EXPECT_TRUE(st->view.ended().empty());

  // A failed Extend image: its box, no AbortImage, no later image.
  auto ext = Job("P100", Refuse({{C::kBeginImage, 1, 6}}));
  EXPECT_FALSE(ext->Run(0, true));
  EXPECT_EQ(ext->prompter.records().at(0).text, "下载失败，扩展分区文件传输出错!请检查设备连接!");
  EXPECT_EQ(TraceCount(ext->handset(0).Report(), "AbortImage"), 0u);
  EXPECT_EQ(ext->handset(0).Report().images.size(), 5u);  // Env.txt not written

  // Success: only the log tells, with its own end line.
  auto ok = Job("P100");
  EXPECT_TRUE(ok->Run(0, true));
  EXPECT_EQ(ok->Count("[55] 00:00:"), 1u);
  EXPECT_TRUE(ok->view.statuses(0).empty());
}

TEST(PortJob, APackageThatIsNoLongerTheVerifiedOneIsNotWritten) {
  const std::string changed(station_text::kPackageChanged.english);
  // Changed between the verification and the start: the port fails before
  // its handset is opened.
  const std::pair<const char*, std::function<bool(const std::string&)>> changes[] = {
      {"touched", [](const std::string& p) {
         const timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
         return utimensat(AT_FDCWD, p.c_str(), times, 0) == 0;
       }},
      {"replaced by the same bytes", [](const std::string& p) { return WriteFileAtomic(p, *ReadWholeFile(p)); }},
      {"grown by a byte", [](const std::string& p) { return AppendToFile(p, "x"); }},
      {"removed", [](const std::string& p) { return std::remove(p.c_str()) == 0; }},
  };
  for (const auto& [what, change] : changes) {
    SCOPED_TRACE(what);
    auto st = Job("P100");
    ASSERT_TRUE(change(st->package.packagePath));
    EXPECT_FALSE(st->Run(0));
    EXPECT_EQ(st->Count(changed), 1u);
    EXPECT_TRUE(st->handset(0).Report().trace.empty());
    EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
    EXPECT_EQ(st->records.State(0), kPortFinished);
  }

  // A byte of the system image (the fourth) changes on disk while it is
  // sent: that image is aborted, not repeated, and nothing follows it.
  auto st = Job("P100");
  FlipPackageByteOn(*st, 0, BeginImageCommand(5, 0), 4, st->package.section(K::System).offset + 100000);
  EXPECT_FALSE(st->Run(0));
  auto r = st->handset(0).Report();
  EXPECT_EQ(st->Count("[66]" + changed), 1u);
  EXPECT_EQ(TraceCount(r, "BeginImage"), 4u);
  EXPECT_EQ(TraceCount(r, "AbortImage"), 1u);
  EXPECT_EQ(TraceCount(r, "EndImage"), 3u);
  EXPECT_EQ(TraceCount(r, "CommitSegment"), 0u);
  EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
}

TEST(PortJob, HandsetsThatDoNotComeBackOrCannotBeOpened) {
  // Never back after the first restart: 200 rounds, text 47, then the probe.
  // Back under another serial: the port's record stays detached.
  for (bool otherSerial : {false, true}) {
    sim::FaultList f;
    f.neverReturnAfter = otherSerial ? 0 : 1;
    f.otherSerial = otherSerial;
    auto st = Job(nullptr, f, true);
    EXPECT_FALSE(st->Run(0));
    // The restart's failure decides; once the wait is over the handset's
    // absence counts, and it is declared gone before the probe gives up.
    EXPECT_EQ(st->Count("[47]"), 2u);  // the failure and the closing line
    EXPECT_EQ(st->Count("[57]"), 0u);
    EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
  }

  // The bus never shows it gone: 20 polls later the job goes on.
  auto stay = Job(nullptr, {}, true);
  stay->handset(0).recordShowsLeave = false;
  EXPECT_TRUE(stay->Run(0));
  EXPECT_EQ(stay->handset(0).Report().restarts, 2u);

  // Cannot be opened: text 42; with file sets the first probe still runs.
  auto closed = Job(nullptr, {}, true);
  closed->handset(0).openFailures = 3;
  uint64_t before = closed->clock.NowMs();
  EXPECT_FALSE(closed->Run(0));
  EXPECT_EQ(closed->view.statuses(0).at(0), "[42]");
  EXPECT_EQ(closed->Count("[57]"), 1u);
  EXPECT_EQ(closed->clock.NowMs() - before, 100u * 500u);
  EXPECT_EQ(closed->Count("Error CreateFile 5 H0"), 3u);
}

class EndListener final : public JobListener {
 public:
  void OnJobEnded(const JobEnd& e) override { ends.push_back(e); }
  std::vector<JobEnd> ends;
};

TEST(PortJob, AHandsetGoneFromTheBusEndsItsJobFailedWithTheDecidingReason) {
  const std::string removed(station_text::kHandsetRemoved.english);
  struct Case {
    const char* name;
    const char* product;  // null: file sets only
    uint32_t neverReturnAfter;
    int pullAtBlock;      // 0: never pulled
    uint64_t goneFailMs;
    std::string reason;
    uint64_t maxMs;       // the job ends within this, from its start
  } cases[] = {
      {"pulled mid-image", "P100", 0, 4, 10000, removed, 12000},
      {"pulled mid-image, T745", "T745", 0, 4, 10000, removed, 12000},
      {"pulled mid-file", nullptr, 0, 3, 10000, removed, 60000},
      {"pulled, the rule off", "P100", 0, 4, 0, "", 10000000},
      {"never back after a restart", nullptr, 1, 0, 10000, "[47]", 10000000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::FaultList f;
    f.neverReturnAfter = c.neverReturnAfter;
    auto st = Job(c.product, f, c.product == nullptr);
    ModelHandset& h = st->handset(0);
    int blocks = 0;
    uint64_t pulledAt = 0;
    h.beforeCommand = [&](const std::array<uint8_t, kCdbLength>& cdb) {
      if (cdb[2] == 0x05 && cdb[3] == 0x03 && ++blocks == c.pullAtBlock) {
        pulledAt = st->clock.NowMs();
        h.Pull();
      }
    };
    EndListener ends;
    ASSERT_TRUE(st->records.TryStartJob(0));
    PortJobContext ctx = st->Context(0);
    ctx.listener = &ends;
    ctx.goneFailMs = c.goneFailMs;
    const uint64_t start = st->clock.NowMs();
    EXPECT_FALSE(PortJob(ctx));
    ASSERT_EQ(ends.ends.size(), 1u);
    EXPECT_EQ(ends.ends[0].result, JobResult::Failed);
    if (!c.reason.empty()) {
      EXPECT_EQ(ends.ends[0].reason, c.reason);
    } else {
      EXPECT_NE(ends.ends[0].reason, removed);
    }
    EXPECT_LE(st->clock.NowMs() - start, c.maxMs);
    if (c.pullAtBlock) {
      ASSERT_NE(pulledAt, 0u);
      if (c.goneFailMs) {
        EXPECT_LE(st->clock.NowMs() - pulledAt, c.goneFailMs + 1000) << st->clock.NowMs() << " " << pulledAt;
      }
    }
    EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
  }
}

TEST(PortJob, AJobThatWritesNothingFailsBeforeTouchingTheHandset) {
  auto st = Job("P100");
  st->selection.bootloaderSelected = st->selection.kernelSelected = st->selection.systemSelected = 0;
  EndListener ends;
  ASSERT_TRUE(st->records.TryStartJob(0));
  PortJobContext ctx = st->Context(0);
  ctx.listener = &ends;
  EXPECT_FALSE(PortJob(ctx));
  ASSERT_EQ(ends.ends.size(), 1u);
  EXPECT_EQ(ends.ends[0].reason, std::string(station_text::kNothingToWrite.english));
  EXPECT_EQ(st->handset(0).Report().trace.size(), 0u);
  EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
}

// Counts the transports alive at once across all jobs.
class CountedTransport final : public Transport {
 public:
  CountedTransport(std::unique_ptr<Transport> t, std::atomic<int>& live, std::atomic<int>& peak)
      : t_(std::move(t)), live_(live) {
    int now = ++live_;
    for (int p = peak.load(); now > p && !peak.compare_exchange_weak(p, now);) {
    }
  }
  ~CountedTransport() override { --live_; }
  OpenResult Open(const std::string& path) override { return t_->Open(path); }
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection d, uint8_t* data,
                  uint32_t length, uint32_t timeoutMs) override {
    return t_->Send(cdb, d, data, length, timeoutMs);
  }
  void Close() override { t_->Close(); }
  bool IsOpen() const override { return t_->IsOpen(); }

 private:
  std::unique_ptr<Transport> t_;
  std::atomic<int>& live_;
};

TEST(PortJob, TimedOutCommandsAreRecoveredWhereTheRetriesAllow) {
  // A late WriteBlock is a refused one the station hears nothing of: once,
  // the block is repeated; four times, the image is aborted and repeated.
  struct Row {
    uint32_t lateBlocks;
    size_t repeats, aborts;
  };
  for (Row row : {Row{1, 1, 0}, Row{4, 3, 1}}) {
    SCOPED_TRACE(row.lateBlocks);
    sim::FaultList f;
    f.late = {{C::kWriteBlock, row.lateBlocks, 1}};
    auto st = Job("P100", f);
    ASSERT_TRUE(st->Run(0));
    ExpectImages(*st, 0);
    EXPECT_EQ(Rejections(st->handset(0).Report()), "");
    EXPECT_EQ(st->Count("[76]"), row.repeats);
    EXPECT_EQ(st->Count("[99]"), row.aborts);
  }

  // A silent handset: three OpenDownloads, each costing its 8 s time-out;
  // with file sets the first probe's 100 CheckAlives (500 ms apart) follow.
  for (bool sets : {false, true}) {
    SCOPED_TRACE(sets);
    sim::FaultList f;
    f.silent = true;
    auto st = Job("P100", f, sets);
    uint64_t start = st->clock.NowMs();
    EXPECT_FALSE(st->Run(0));
    auto r = st->handset(0).Report();
    EXPECT_EQ(TraceCount(r, "OpenDownload"), 3u);
    EXPECT_EQ(TraceCount(r, "CheckAlive"), sets ? 100u : 0u);
    uint64_t bound = 3 * kCommandTimeoutMs + (sets ? 100 * (kCommandTimeoutMs + 500) : 0) + 1000;
    EXPECT_LE(st->clock.NowMs() - start, bound);
    EXPECT_EQ(st->view.ended(), (Ended{{0, false}}));
  }
}

TEST(PortJob, EightPortsOnEightThreadsWithinTheSemaphore) {
  auto st = Job("P100", {}, true);
  std::atomic<int> live{0}, peak{0};
  std::vector<PortJobContext> contexts;
  for (int p = 0; p < 8; ++p) {
    if (p > 0) st->Plug(p, "PORT" + std::to_string(p + 1));
    ASSERT_TRUE(st->records.TryStartJob(p));
    contexts.push_back(st->Context(p));
    contexts.back().newTransport = [inner = contexts.back().newTransport, &live, &peak] {
      return std::unique_ptr<Transport>(std::make_unique<CountedTransport>(inner(), live, peak));
    };
  }
  for (int i = 0; i < 5; ++i) st->semaphore.acquire();  // three units left for eight jobs
  std::atomic<int> succeeded{0};
  std::vector<std::thread> threads;
  for (int p = 0; p < 8; ++p)
    threads.emplace_back([&, p] { succeeded += PortJob(contexts[static_cast<size_t>(p)]) ? 1 : 0; });
  for (auto& t : threads) t.join();
  st->semaphore.release(5);
  EXPECT_EQ(succeeded.load(), 8);
  EXPECT_LE(peak.load(), 3);
  for (int p = 0; p < 8; ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Rejections(st->handset(p).Report()), "");
    ExpectImages(*st, p);
    ExpectStorageMirrors(st->handset(p).folder(), "gpsdata", st->selection.gpsFolder);
    EXPECT_EQ(st->records.State(p), kPortFinished);
  }
  EXPECT_EQ(st->view.ended().size(), 8u);
}

TEST(PortJob, EventsNameEachStepAndKeepTheTextThatDecidedAFailure) {
  auto st = Job("P100", {}, true);
  EventLog events;
  st->listener = &events;
  ASSERT_TRUE(st->Run(0));
  EXPECT_EQ(events.lines,
            (std::vector<std::string>{"start H0", "open", "image:Xloader", "image:bootloader", "image:Kernel",
                                      "image:system.img", "image:userdata.img", "image:apps", "image:Env.txt",
                                      "wait-stored", "restart", "probe", "file-set:brand", "file-set:resources",
                                      "file-set:gps", "completion", "end ok completion: "}));
  EXPECT_GT(events.bytes, 280000u);

  // The kernel fails twice in the unattended mode: the restart and its texts
  // that follow do not replace the reason, and the job's step stays the image.
  auto bad = Job("P100", Refuse({{C::kBeginImage, 2, 3}}), true);
  EventLog failed;
  bad->listener = &failed;
  EXPECT_FALSE(bad->Run(0, true));
  ASSERT_FALSE(failed.lines.empty());
  const std::string& end = failed.lines.back();
  EXPECT_EQ(end.rfind("end failed image: ", 0), 0u) << end;
  EXPECT_NE(end.find("Kernel"), std::string::npos) << end;
}

}  // namespace
}  // namespace flashery::test
