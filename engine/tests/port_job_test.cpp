#include "engine/port_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "engine/block_plan.h"
#include "platform/files.h"
#include "station_harness.h"

namespace flashery::test {
namespace {

using K = QfmSectionKey;

void ImagesPackage(Station& st, const std::string& product) {
  st.package.productName = product;
  st.SetSection(K::MLO, TestBytes(1000, 1));
  st.SetSection(K::BL, TestBytes(70000, 2), "u-boot");
  st.SetSection(K::NK, TestBytes(65024, 3), "zImage");
  st.SetSection(K::System, TestBytes(140000, 4), "system");
  st.SetSection(K::Userdata, TestBytes(3000, 5));
  st.SetSection(ExtendKey(1), TestBytes(500, 6), "apps", 0x21);
  st.SetSection(K::Evn, TestBytes(40, 7));
  st.WritePackage();
  st.selection.bootloaderSelected = st.selection.kernelSelected = st.selection.systemSelected = 1;
}

void FileSets(Station& st) {
  std::string root = st.dir.path() + "/res";
  ASSERT_TRUE(WriteBytes(root + "/内置资源/我的铃声/ring.mp3", TestBytes(70000, 11)));
  ASSERT_TRUE(WriteBytes(root + "/内置资源/resfile_pc.txt", TestBytes(20, 12)));
  ASSERT_TRUE(WriteBytes(root + "/GPS/QUILMAP/bin/nav.bin", TestBytes(1000, 13)));
  ASSERT_TRUE(WriteBytes(st.dir.path() + "/app/quillon/presetapp/a.apk", TestBytes(100, 14)));
  st.selection.resourcesFolder = root + "/内置资源";
  st.selection.gpsFolder = root + "/GPS";
  st.selection.brandFolder = st.dir.path() + "/app/quillon";
  st.selection.resourcesSelected = st.selection.gpsSelected = st.selection.brandSelected = 1;
}

void ExpectImages(Station& st, int port, bool withExtend = true) {
  const std::string& f = st.handset(port).folder();
  ExpectImage(f, 1, st.sectionBytes[K::MLO]);
  ExpectImage(f, 2, st.sectionBytes[K::BL]);
  ExpectImage(f, 4, st.sectionBytes[K::NK]);
  ExpectImage(f, 5, st.sectionBytes[K::System]);
  ExpectImage(f, 6, st.sectionBytes[K::Userdata]);
  if (withExtend) ExpectImage(f, 0x21, st.sectionBytes[ExtendKey(1)]);
  ExpectImage(f, 3, st.sectionBytes[K::Evn]);
}

TEST(PortJob, ImagesOnly) {
  Station st;
  ImagesPackage(st, "P100");
  st.Plug(0, "ONE");
  ASSERT_TRUE(st.Run(0));
  auto r = st.handset(0).Report();
  EXPECT_EQ(Rejections(r), "");
  ExpectImages(st, 0);
  EXPECT_EQ(r.images[3].segments, 1u);  // the system image went in segments
  EXPECT_EQ(r.finishImagesFlag, 0);
  EXPECT_EQ(r.restarts, 0u);
  EXPECT_EQ(st.records.State(0), kPortFinished);
  EXPECT_EQ(st.view.ended(), (std::vector<std::pair<int, bool>>{{0, true}}));
  EXPECT_EQ(st.view.progress(0).back(), 0u);
  EXPECT_EQ(st.Count(" QFM Download success time:00:00:"), 1u);
  EXPECT_EQ(st.Count("[55] 00:00:"), 1u);
  EXPECT_EQ(st.Count("[43]"), 1u);

  // Nothing selected: open, OpenDownload, readiness, the success line, FinishImages 0.
  Station none;
  none.Plug(0, "NONE");
  ASSERT_TRUE(none.Run(0));
  EXPECT_TRUE(none.handset(0).Report().images.empty());
  EXPECT_EQ(none.handset(0).Report().finishImagesFlag, 0);
  EXPECT_EQ(none.Count(" QFM Download success time:"), 1u);
}

TEST(PortJob, WithFileSetsRunsBothRestartsAndTheSets) {
  Station st;
  ImagesPackage(st, "P100");
  FileSets(st);
  st.Plug(0, "SETS");
  ASSERT_TRUE(st.Run(0));
  auto r = st.handset(0).Report();
  EXPECT_EQ(Rejections(r), "");
  ExpectImages(st, 0);
  EXPECT_EQ(r.finishImagesFlag, 1);
  EXPECT_EQ(r.restartFlag, 0);
  EXPECT_EQ(r.restarts, 2u);
  EXPECT_EQ(r.prepared, (std::vector<int>{4, 3, 2, 5}));  // brand, resources, GPS
  EXPECT_TRUE(r.fileSetsFinished);
  EXPECT_TRUE(r.completed);
  ExpectStorageMirrors(st.handset(0).folder(), "quillon", st.selection.brandFolder);
  ExpectStorageMirrors(st.handset(0).folder(), "udisk", st.selection.resourcesFolder);
  ExpectStorageMirrors(st.handset(0).folder(), "gpsdata", st.selection.gpsFolder);
  EXPECT_EQ(st.view.ended(), (std::vector<std::pair<int, bool>>{{0, true}}));
  auto progress = st.view.progress(0);
  ASSERT_GE(progress.size(), 2u);
  EXPECT_EQ(progress[progress.size() - 2], kProgressMax + 1);  // full bar, then the end line
  EXPECT_EQ(progress.back(), 0u);
}

TEST(PortJob, T745PackageRestartsWithoutFileSets) {
  for (int formatMode : {0, 1}) {
    Station st;
    ImagesPackage(st, "QUILLON_T745");
    st.selection.formatMode = formatMode;
    st.Plug(0, "T745");
    ASSERT_TRUE(st.Run(0));
    auto r = st.handset(0).Report();
    SCOPED_TRACE(formatMode);
    EXPECT_EQ(Rejections(r), "");
    ExpectImages(st, 0);
    EXPECT_EQ(r.images[3].segments, 0u);  // plain system procedure
    EXPECT_EQ(r.finishImagesFlag, 1);
    EXPECT_EQ(r.restarts, 2u);
    EXPECT_EQ(r.prepared, (formatMode == 0 ? std::vector<int>{4, 3} : std::vector<int>{1}));
    EXPECT_TRUE(r.completed);
    EXPECT_FALSE(r.fileSetsFinished);
  }
  // Without the system image the package is no T745 download.
  Station st;
  ImagesPackage(st, "QUILLON_T745");
  st.selection.systemSelected = 0;
  st.Plug(0, "T745B");
  ASSERT_TRUE(st.Run(0));
  EXPECT_EQ(st.handset(0).Report().restarts, 0u);
  EXPECT_EQ(st.handset(0).Report().finishImagesFlag, 0);
}

TEST(PortJob, AFailedImageIsAbortedAndRepeatedOnce) {
  Station st;
  ImagesPackage(st, "P100");
  sim::HandsetConfig cfg;
  sim::CommandFault kernel;  // the third BeginImage is the kernel's
  kernel.kind = sim::CommandKind::kBeginImage;
  kernel.from = 3;
  sim::CommandFault segment;  // the segmented system image fails; it is repeated plain
  segment.kind = sim::CommandKind::kCommitSegment;
  cfg.faults.refuse = {kernel, segment};
  st.Plug(0, "REP", cfg);
  ASSERT_TRUE(st.Run(0));
  auto r = st.handset(0).Report();
  ExpectImages(st, 0);
  EXPECT_EQ(TraceCount(r, "AbortImage"), 2u);
  EXPECT_EQ(TraceCount(r, "CommitSegment"), 1u);
  EXPECT_EQ(r.images[3].segments, 0u);
  EXPECT_EQ(st.Count("[99]"), 2u);

  // Failing twice fails the job; later images are not written.
  Station twice;
  ImagesPackage(twice, "P100");
  kernel.times = 2;
  sim::HandsetConfig cfg2;
  cfg2.faults.refuse = {kernel};
  twice.Plug(0, "TWICE", cfg2);
  EXPECT_FALSE(twice.Run(0));
  EXPECT_EQ(twice.handset(0).Report().images.size(), 2u);
  EXPECT_EQ(twice.view.ended(), (std::vector<std::pair<int, bool>>{{0, false}}));
  EXPECT_EQ(twice.Count("[55]"), 0u);
}

TEST(PortJob, UnattendedModeShowsBoxesAndNeverTurnsAFailureIntoSuccess) {
  Station st;
  ImagesPackage(st, "P100");
  FileSets(st);  // never copied in the unattended mode
  sim::HandsetConfig cfg;
  sim::CommandFault kernel;
  kernel.kind = sim::CommandKind::kBeginImage;
  kernel.from = 3;
  kernel.times = 2;
  cfg.faults.refuse = {kernel};
  st.Plug(0, "CMD", cfg);
  EXPECT_FALSE(st.Run(0, true));
  auto r = st.handset(0).Report();
  EXPECT_EQ(st.prompter.records().size(), 1u);
  EXPECT_EQ(st.prompter.records()[0].text, "下载失败，Kernel文件传输出错!请检查设备连接!");
  EXPECT_EQ(r.finishImagesFlag, -1);  // FinishImages is not sent in this mode
  EXPECT_EQ(r.restartFlag, 1);        // the restart runs even after the failure ...
  EXPECT_EQ(st.Count("[55]"), 0u);    // ... but the job stays failed
  EXPECT_TRUE(st.view.statuses(0).empty());
  EXPECT_TRUE(st.view.ended().empty());

  // A failed Extend image: its box, no AbortImage, no later image.
  Station ext;
  ImagesPackage(ext, "P100");
  sim::HandsetConfig cfg2;
  sim::CommandFault extend;
  extend.kind = sim::CommandKind::kBeginImage;
  extend.from = 6;
  cfg2.faults.refuse = {extend};
  ext.Plug(0, "EXT", cfg2);
  EXPECT_FALSE(ext.Run(0, true));
  EXPECT_EQ(ext.prompter.records().at(0).text, "下载失败，扩展分区文件传输出错!请检查设备连接!");
  EXPECT_EQ(TraceCount(ext.handset(0).Report(), "AbortImage"), 0u);
  EXPECT_EQ(ext.handset(0).Report().images.size(), 5u);  // Env.txt not written

  // Success: only the log tells, with its own end line.
  Station ok;
  ImagesPackage(ok, "P100");
  ok.Plug(0, "OK");
  EXPECT_TRUE(ok.Run(0, true));
  EXPECT_EQ(ok.Count("[55] 00:00:"), 1u);
  EXPECT_TRUE(ok.view.statuses(0).empty());
}

TEST(PortJob, HandsetsThatDoNotComeBackOrCannotBeOpened) {
  // Never back after the first restart: 200 rounds, text 47, then the probe.
  Station gone;
  FileSets(gone);
  sim::HandsetConfig cfg;
  cfg.faults.neverReturnAfter = 1;
  gone.Plug(0, "GONE", cfg);
  EXPECT_FALSE(gone.Run(0));
  EXPECT_EQ(gone.Count("[47]"), 1u);
  EXPECT_EQ(gone.Count("[57]"), 1u);
  EXPECT_EQ(gone.view.ended(), (std::vector<std::pair<int, bool>>{{0, false}}));

  // Back under another serial: the port's record stays detached.
  Station other;
  FileSets(other);
  sim::HandsetConfig cfg2;
  cfg2.faults.otherSerial = true;
  other.Plug(0, "OTHER", cfg2);
  EXPECT_FALSE(other.Run(0));
  EXPECT_EQ(other.Count("[47]"), 1u);

  // The bus never shows it gone: 20 polls later the job goes on.
  Station stay;
  FileSets(stay);
  stay.Plug(0, "STAY").recordShowsLeave = false;
  EXPECT_TRUE(stay.Run(0));
  EXPECT_EQ(stay.handset(0).Report().restarts, 2u);

  // Cannot be opened: text 42; with file sets the first probe still runs.
  Station closed;
  FileSets(closed);
  closed.Plug(0, "CLOSED").openFailures = 3;
  uint64_t before = closed.clock.NowMs();
  EXPECT_FALSE(closed.Run(0));
  EXPECT_EQ(closed.view.statuses(0).at(0), "[42]");
  EXPECT_EQ(closed.Count("[57]"), 1u);
  EXPECT_EQ(closed.clock.NowMs() - before, 100u * 500u);
  EXPECT_EQ(closed.Count("Error CreateFile 5 CLOSED"), 3u);
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

TEST(PortJob, EightPortsOnEightThreadsWithinTheSemaphore) {
  Station st;
  ImagesPackage(st, "P100");
  FileSets(st);
  std::atomic<int> live{0}, peak{0};
  std::vector<PortJobContext> contexts;
  for (int p = 0; p < 8; ++p) {
    st.Plug(p, "PORT" + std::to_string(p + 1));
    ASSERT_TRUE(st.records.TryStartJob(p));
    contexts.push_back(st.Context(p));
    auto inner = contexts.back().newTransport;
    contexts.back().newTransport = [inner, &live, &peak]() -> std::unique_ptr<Transport> {
      return std::make_unique<CountedTransport>(inner(), live, peak);
    };
  }
  for (int i = 0; i < 5; ++i) st.semaphore.acquire();  // three units left for eight jobs
  std::atomic<int> succeeded{0};
  std::vector<std::thread> threads;
  for (int p = 0; p < 8; ++p)
    threads.emplace_back([&, p] { succeeded += PortJob(contexts[static_cast<size_t>(p)]) ? 1 : 0; });
  for (auto& t : threads) t.join();
  st.semaphore.release(5);
  EXPECT_EQ(succeeded.load(), 8);
  EXPECT_LE(peak.load(), 3);
  for (int p = 0; p < 8; ++p) {
    SCOPED_TRACE(p);
    EXPECT_EQ(Rejections(st.handset(p).Report()), "");
    ExpectImages(st, p);
    ExpectStorageMirrors(st.handset(p).folder(), "gpsdata", st.selection.gpsFolder);
    EXPECT_EQ(st.records.State(p), kPortFinished);
  }
  EXPECT_EQ(st.view.ended().size(), 8u);
}

}  // namespace
}  // namespace flashery::test
