#include "device/port_commands.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "device/tests/fake_transport.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "text/log_file.h"

namespace flashery {
namespace {

using testing::ScriptedReply;
using Texts = std::vector<std::string>;
constexpr auto kGood = SendStatus::kGood;
constexpr auto kFail = SendStatus::kFailure;

ScriptedReply Ok(const std::string& text = "") { return {kGood, 0, {text.begin(), text.end()}, {}}; }
ScriptedReply Fail(int err = EIO) { return {kFail, err, {}, {}}; }

struct Bench {
  ::flashery::testing::TempDir dir;
  TextTable texts = testing::NumberedTexts();
  FakeClock clock;
  LogFile log{dir / "log.txt", nullptr};
  testing::RecordingView view;
  testing::FakeTransport* transport = nullptr;
  std::unique_ptr<PortDevice> dev;

  explicit Bench(const std::string& openPath = "/dev/sg7") {
    PortRecord r;
    r.instanceId = "id7";
    r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#id7&0#{x}";
    r.openPath = openPath;
    auto t = std::make_unique<testing::FakeTransport>();
    transport = t.get();
    PortOutput out;
    out.view = &view;
    out.log = &log;
    dev = std::make_unique<PortDevice>(r, 3, std::move(t), texts, clock, out);
  }
  std::string Log() { return ReadWholeFile(dir / "log.txt").value_or(""); }
};

TEST(PortDevice, OpenAndFailedCommandsWriteTheStationsLogLines) {
  Bench b;
  EXPECT_TRUE(b.dev->OpenDevice());
  EXPECT_EQ(b.transport->opened, Texts{"/dev/sg7"});
  EXPECT_EQ(b.transport->openedAs, Texts{"id7"});  // the node must still be this handset
  EXPECT_EQ(b.Log(), "id7: T56id7: \r\r\n");
  std::shared_ptr<int> closes = b.transport->closes;

  // Bad status: text 100 with the byte count and the sense key, code and
  // qualifier, then text 101 with the error; a failed exchange: text 101
  // only; nothing while logging is off.
  std::vector<uint8_t> sense(18);
  sense[0] = 0x70, sense[2] = 0x05, sense[12] = 0x24;
  b.transport->script = {{SendStatus::kBadStatus, EIO, {}, sense}, Fail(ENODEV), Fail()};
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  b.dev->logTransportErrors = false;
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  EXPECT_EQ(b.Log(), "id7: T56id7: \r\r\nid7: T1000 sense 5/24/00id7: \r\r\nid7: T1015\r\r\nid7: \r\r\n"
                     "id7: T10119\r\r\nid7: \r\r\n");
  EXPECT_FALSE(b.dev->SendCommand(QueryStateCommand(), nullptr));  // no buffer: not sent
  EXPECT_EQ(b.transport->sent.size(), 3u);
  EXPECT_TRUE(b.view.texts.empty());  // the transport never shows anything
  b.dev.reset();
  EXPECT_EQ(*closes, 1);

  Bench c("");  // no node known: the interface path is opened
  c.transport->openError = EBUSY;
  EXPECT_FALSE(c.dev->OpenDevice());
  EXPECT_EQ(c.transport->opened.at(0).substr(0, 12), "\\\\?\\usbstor#");
  EXPECT_EQ(c.Log(), "id7: Error CreateFile 16 id7id7: \r\r\n");
}

TEST(PortDevice, SenseDetailReadsFixedAndDescriptorFormats) {
  auto with = [](std::vector<uint8_t> bytes) {
    SendResult r;
    r.senseLength = static_cast<uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), r.sense.begin());
    return r;
  };
  std::vector<uint8_t> fixed(14), deferred(18);
  fixed[0] = 0x70, fixed[2] = 0xF6, fixed[12] = 0x29, fixed[13] = 0x01;  // flags above the key
  deferred[0] = 0xF1, deferred[2] = 0x03, deferred[12] = 0x0C, deferred[13] = 0x02;
  struct Case {
    std::vector<uint8_t> sense;
    const char* detail;
  };
  const Case cases[] = {
      {fixed, " sense 6/29/01"},
      {deferred, " sense 3/0C/02"},                 // deferred error, valid bit set
      {{0x72, 0x05, 0x24, 0x00}, " sense 5/24/00"},  // descriptor format
      {std::vector<uint8_t>(fixed.begin(), fixed.begin() + 13), ""},  // too short for the qualifier
      {{0x72, 0x05, 0x24}, ""},
      {{0x7F, 0x05, 0x24, 0x00}, ""},  // vendor-specific format
      {{}, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(SenseDetail(with(c.sense)), c.detail);
}

TEST(PortCommands, SimpleOperationsReportTheirOwnTexts) {
  Bench b;
  b.transport->script = {Fail(), Ok(), Ok(),                // CheckAlive
                         Ok(), Fail(),                      // OpenDownload
                         Ok("\x01"), Ok("\x02"), Fail(), Ok(),  // QueryState
                         Ok(), Fail(), Fail(), Ok()};       // FinishFileSets, AbortImage
  EXPECT_FALSE(CheckAlive(*b.dev, true));
  EXPECT_FALSE(b.dev->logTransportErrors);  // the caller turns it back on
  EXPECT_TRUE(CheckAlive(*b.dev, false));
  EXPECT_TRUE(b.dev->logTransportErrors);
  EXPECT_TRUE(CheckAlive(*b.dev, true));
  EXPECT_TRUE(OpenDownload(*b.dev));
  EXPECT_FALSE(OpenDownload(*b.dev));
  bool reachable = false;
  EXPECT_FALSE(QueryState(*b.dev, reachable));
  EXPECT_TRUE(reachable);
  EXPECT_TRUE(QueryState(*b.dev, reachable));
  EXPECT_FALSE(QueryState(*b.dev, reachable));
  EXPECT_FALSE(reachable);
  EXPECT_FALSE(QueryState(*b.dev, reachable));  // no reply bytes: busy
  EXPECT_TRUE(reachable);
  EXPECT_TRUE(FinishFileSets(*b.dev));
  EXPECT_FALSE(FinishFileSets(*b.dev));
  EXPECT_FALSE(AbortImage(*b.dev));
  EXPECT_TRUE(AbortImage(*b.dev));
  EXPECT_EQ(b.view.texts, (Texts{"T58", "T60", "T59", "T460 S...", "T45", "T99", "T99"}));

  // Image commands pause 200 ms after success and report text 74 on failure.
  b.transport->script = {Ok(), Fail(), Ok(), Ok()};
  b.view.texts.clear();
  EXPECT_TRUE(BeginImage(*b.dev, 5, 0x12345678));
  EXPECT_FALSE(EndImage(*b.dev, 5, 10));
  EXPECT_TRUE(CommitSegment(*b.dev, 5, 0x01080000, 1, false));
  EXPECT_TRUE(SendSegmentCheck(*b.dev, 5, 0xABCD));
  EXPECT_EQ(b.clock.sleeps(), (std::vector<uint32_t>{200, 200, 200}));
  EXPECT_EQ(b.view.texts, Texts{"T74"});
  EXPECT_EQ(b.transport->sent.back().cdb, SendSegmentCheckCommand(5, 0xABCD).cdb);
}

TEST(PortCommands, WaitCompletionCountsHalfSecondsAndSurvivesFailedPolls) {
  {
    Bench b;  // the first poll already answers "1"
    b.transport->script = {Ok(), Ok("1")};
    EXPECT_TRUE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.view.texts, Texts{"T1100 S..."});
    EXPECT_EQ(b.view.positions, std::vector<uint32_t>{kProgressMax});
    EXPECT_EQ(b.transport->sent[0].cdb, StartCompletionCommand().cdb);
    EXPECT_EQ(b.transport->sent[1].cdb, PollCompletionCommand().cdb);
  }
  {
    Bench b;  // "0" twenty times: status lines only, then text 111
    b.transport->script = {Ok()};
    for (int i = 0; i < 20; ++i) b.transport->script.push_back(Ok("0"));
    EXPECT_FALSE(WaitCompletion(*b.dev));
    ASSERT_EQ(b.view.texts.size(), 21u);
    for (size_t r = 0; r < 20; ++r)
      EXPECT_EQ(b.view.texts[r], "T109" + std::to_string(r / 2) + " S.....\r\n");
    EXPECT_EQ(b.view.texts.back(), "T111");
    EXPECT_EQ(b.clock.sleeps(), std::vector<uint32_t>(20, 500));
    EXPECT_EQ(b.Log(), "id7: T111id7: \r\r\n");
  }
  {
    Bench b;  // a failed poll, "10", fifty '1's without a terminator, then "1"
    b.transport->script = {Ok(), Fail(), Ok("10"), Ok(std::string(50, '1')),
                           Ok(std::string("1\0x", 3))};
    EXPECT_TRUE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.view.texts, (Texts{"T111", "T1090 S.....\r\n", "T1091 S.....\r\n", "T1101 S..."}));
  }
  {
    Bench b;
    b.transport->script = {Fail()};
    EXPECT_FALSE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.transport->sent.size(), 1u);
    EXPECT_EQ(b.view.texts, Texts{"T111"});
  }
}

TEST(PortCommands, DataCommandsCarryTheirBytesAndRefuseWhatDoesNotFit) {
  Bench b;
  std::vector<uint8_t> block(kMaxBlockLength + 1, 0x5A);
  EXPECT_FALSE(SendImageBlock(*b.dev, block.data(), kMaxBlockLength + 1, 0, true));
  EXPECT_FALSE(SendCreateFolder(*b.dev, std::string(0x10000, 'a')));
  EXPECT_FALSE(SendPrepareStorage(*b.dev, 6));
  EXPECT_TRUE(b.transport->sent.empty());
  EXPECT_TRUE(SendImageBlock(*b.dev, block.data(), kMaxBlockLength, 0x1234, false));
  EXPECT_TRUE(SendFileBlock(*b.dev, block.data(), 3, 0x0408, true, 9));
  EXPECT_TRUE(SendCreateFolder(*b.dev, "//udisk//"));
  const auto& s = b.transport->sent;
  EXPECT_EQ(s[0].data.size(), kMaxBlockLength);
  EXPECT_EQ(s[0].cdb, WriteImageBlockCommand(0xFE00, 0x1234, false).cdb);
  EXPECT_EQ(s[1].cdb, WriteFileBlockCommand(3, 0x0408, true, 9).cdb);
  EXPECT_EQ(std::string(s[2].data.begin(), s[2].data.end()), "//udisk//");
  EXPECT_EQ(s[2].cdb, CreateFolderCommand(9).cdb);

  // EndFile sends size and check register and starts the next file from
  // zero whatever the handset said.
  b.transport->script = {Fail()};
  b.dev->fileSize = 70000;
  b.dev->fileCheck = 0xCAFEF00D;
  EXPECT_FALSE(SendEndFile(*b.dev));
  EXPECT_EQ(s.back().cdb, EndFileCommand(70000, 0xCAFEF00D).cdb);
  EXPECT_EQ(b.dev->fileSize + b.dev->fileCheck, 0u);

  std::array<uint8_t, kPollStorageLength> reply;
  reply.fill(0xEE);
  b.transport->script = {Ok("end=p1=1:p2=1:p3=1:p4=1")};
  ASSERT_TRUE(SendPollStorage(*b.dev, 1, reply));
  EXPECT_TRUE(StorageReplyIsReady(1, reply.data(), reply.size()));  // the rest was zeroed
  EXPECT_FALSE(StorageReplyIsReady(2, reply.data(), reply.size()));
  const std::pair<std::string, int> ready[] = {{std::string("1\0junk", 6), 5}, {"1", 2}};
  const std::pair<std::string, int> notReady[] = {
      {"11", 2}, {"", 2}, {"1", 6}, {std::string("end=p1=1:p2=1:p3=1:p4=0\0", 24), 1}};
  auto ok = [](const std::pair<std::string, int>& c) {
    return StorageReplyIsReady(c.second, reinterpret_cast<const uint8_t*>(c.first.data()),
                               c.first.size());
  };
  for (const auto& c : ready) EXPECT_TRUE(ok(c)) << c.first;  // no zero: the whole buffer
  for (const auto& c : notReady) EXPECT_FALSE(ok(c)) << c.first;
}

}  // namespace
}  // namespace flashery
