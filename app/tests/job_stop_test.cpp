// A port job stopped by the operator, over the in-process handset model on
// the fake clock: it says so once, with the real elapsed time, and nothing
// that never happened on the wire.
#include <gtest/gtest.h>

#include <cerrno>

#include "app/job_stop.h"
#include "engine/job_plan.h"
#include "engine/tests/station_harness.h"
#include "platform/files.h"
#include "text/text_ids.h"

namespace flashery {
namespace {

using test::Station;
using test::TestBytes;
using test::TraceCount;

// Passes every command on and asks for the stop once `limit` of them went
// through (the last of them completes normally, as a command in flight).
class StopAfter final : public Transport {
 public:
  StopAfter(std::unique_ptr<Transport> inner, std::stop_source& stop, int& sends, int limit)
      : inner_(std::move(inner)), stop_(stop), sends_(sends), limit_(limit) {}
  OpenResult Open(const std::string& path) override {
    if (limit_ == 0) stop_.request_stop();
    return inner_->Open(path);
  }
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection d, uint8_t* data, uint32_t length,
                  uint32_t timeoutMs) override {
    SendResult r = inner_->Send(cdb, d, data, length, timeoutMs);
    if (++sends_ == limit_) stop_.request_stop();
    return r;
  }
  void Close() override { inner_->Close(); }
  bool IsOpen() const override { return inner_->IsOpen(); }

 private:
  std::unique_ptr<Transport> inner_;
  std::stop_source& stop_;
  int& sends_;
  int limit_;
};

TEST(JobStop, AStoppedJobSaysSoOnceWithItsRealTimeAndNothingThatNeverHappened) {
  struct Case {
    bool commandLineMode;
    int stopAfterSends;    // 0: before the handset is opened
    uint32_t imageBusyMs;  // long: the stop comes while the job polls
  } cases[] = {{false, 0, 300}, {false, 4, 300}, {false, 12, 60000}, {true, 4, 300}, {true, 12, 60000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "unattended " << c.commandLineMode << ", stop after " << c.stopAfterSends);
    Station st;
    st.package.productName = "P100";
    st.SetSection(QfmSectionKey::BL, TestBytes(70000, 2), "u-boot");
    st.SetSection(QfmSectionKey::NK, TestBytes(65024 * 6, 3), "zImage");
    st.SetSection(QfmSectionKey::System, TestBytes(300000, 4), "system");
    st.WritePackage();
    st.selection.bootloaderSelected = st.selection.kernelSelected = st.selection.systemSelected = 1;
    sim::HandsetConfig config;
    config.timings.imageBusyMs = c.imageBusyMs;
    st.Plug(0, "H0", config);
    ASSERT_TRUE(st.records.TryStartJob(0));

    std::stop_source operatorStop;
    JobStop stop(operatorStop.get_token());
    StoppableClock jobClock(st.clock, stop);
    int sends = 0;
    auto handset = &st.handset(0);
    auto newTransport = [&]() -> std::unique_ptr<Transport> {
      return std::make_unique<StoppableTransport>(
          std::make_unique<StopAfter>(handset->NewTransport(), operatorStop, sends, c.stopAfterSends), stop);
    };
    uint64_t start = st.clock.NowMs();
    PortJobContext context{0, st.records, st.texts, st.prompter, jobClock, st.semaphore, newTransport,
                           std::make_shared<const DownloadSelection>(st.selection),
                           std::make_shared<const QfmPackage>(st.package), c.commandLineMode, start, &st.view,
                           nullptr, &st.log, stop.inEffect(), &st.clock};
    EXPECT_FALSE(PortJob(context));

    EXPECT_TRUE(stop.inEffect().stop_requested());
    std::string elapsed = FormatElapsed(static_cast<int64_t>((st.clock.NowMs() - start) / 1000));
    std::string log = ReadWholeFile(st.dir / "run.txt").value_or("");
    std::string line = "H0: Stopped by the operator " + elapsed + "; H0: \r\r\n";
    EXPECT_EQ(st.Count("Stopped by the operator"), 1u) << log;
    ASSERT_GE(log.size(), line.size());
    EXPECT_EQ(log.substr(log.size() - line.size()), line) << log;
    // No refusal, failure, box or abort that the handset never saw.
    for (int id : {kTextCommandFailed, kTextBlockRefused, kTextBlockGivenUp, kTextImageAborted, kTextHandsetOpenFailed})
      EXPECT_EQ(st.Count("[" + std::to_string(id) + "]"), 0u) << id << "\n" << log;
    EXPECT_EQ(st.Count("Error CreateFile"), 0u);
    EXPECT_TRUE(st.prompter.records().empty());
    auto report = st.handset(0).Report();
    EXPECT_EQ(TraceCount(report, "AbortImage"), 0u);
    EXPECT_EQ(sends, c.stopAfterSends);  // nothing reached the handset after the stop
    EXPECT_EQ(st.records.State(0), kPortFinished);
    if (!c.commandLineMode) {
      EXPECT_EQ(st.view.ended(), (std::vector<std::pair<int, bool>>{{0, false}}));
      EXPECT_EQ(st.view.statuses(0).back(), "Stopped by the operator " + elapsed + "; ");
    }
  }
}

class CountingTransport final : public Transport {
 public:
  OpenResult Open(const std::string&) override {
    ++opens;
    open = true;
    return OpenResult{true, 0};
  }
  SendResult Send(const std::array<uint8_t, kCdbLength>&, DataDirection, uint8_t*, uint32_t, uint32_t) override {
    ++sends;
    SendResult r;
    r.status = SendStatus::kGood;
    return r;
  }
  void Close() override { open = false; }
  bool IsOpen() const override { return open; }
  int opens = 0, sends = 0;
  bool open = false;
};

TEST(JobStop, TransportAndClockGiveUpOnceTheStopIsRequested) {
  std::stop_source source;
  JobStop stop(source.get_token());
  auto inner = std::make_unique<CountingTransport>();
  CountingTransport* raw = inner.get();
  StoppableTransport t(std::move(inner), stop);
  std::array<uint8_t, kCdbLength> cdb{};
  EXPECT_TRUE(t.Open("/dev/sg1").ok);
  EXPECT_TRUE(t.Send(cdb, DataDirection::kNone, nullptr, 0, 8000).good());
  FakeClock fake(1000);
  StoppableClock clock(fake, stop);
  clock.SleepMs(400);
  EXPECT_EQ(fake.totalSleptMs(), 400u);
  EXPECT_EQ(clock.NowMs(), 1400u);

  // Requested is not yet in effect: that takes a refused command or a skipped wait.
  source.request_stop();
  EXPECT_FALSE(stop.inEffect().stop_requested());
  SendResult r = t.Send(cdb, DataDirection::kToDevice, nullptr, 0, 8000);
  EXPECT_TRUE(stop.inEffect().stop_requested());
  EXPECT_EQ(r.status, SendStatus::kFailure);
  EXPECT_EQ(r.errorCode, ECANCELED);
  EXPECT_FALSE(t.Open("/dev/sg1").ok);
  EXPECT_EQ(raw->sends, 1);  // nothing more reached the handset
  EXPECT_EQ(raw->opens, 1);
  EXPECT_TRUE(t.IsOpen());
  t.Close();
  EXPECT_FALSE(t.IsOpen());

  // Waits run out at once, and time still moves for bounds kept in time.
  for (int i = 0; i < 300; ++i) clock.SleepMs(400);
  EXPECT_EQ(fake.totalSleptMs(), 400u);
  EXPECT_EQ(clock.NowMs(), 1400u + 300u * 400u);
}

}  // namespace
}  // namespace flashery
