#include "device/port_commands.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "device/tests/fake_transport.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

using testing::FakeTransport;
using testing::RecordingView;
using testing::ScriptedReply;

constexpr auto kGood = SendStatus::kGood;
constexpr auto kBad = SendStatus::kBadStatus;
constexpr auto kFail = SendStatus::kFailure;

ScriptedReply Reply(SendStatus s, std::vector<uint8_t> data = {}, int err = 0) {
  return {s, err, std::move(data)};
}
std::vector<uint8_t> TextReply(const std::string& s) { return {s.begin(), s.end()}; }

struct Bench {
  ::flashery::testing::TempDir dir;
  TextTable texts = testing::NumberedTexts();
  FakeClock clock;
  LogFile log{dir / "log.txt", nullptr};
  RecordingView view;
  FakeTransport* transport = nullptr;
  std::unique_ptr<PortDevice> dev;

  explicit Bench(PortRecord record = Bound()) {
    auto t = std::make_unique<FakeTransport>();
    transport = t.get();
    PortOutput out;
    out.view = &view;
    out.log = &log;
    dev = std::make_unique<PortDevice>(record, 3, std::move(t), texts, clock, out);
  }
  static PortRecord Bound() {
    PortRecord r;
    r.instanceId = "id7";
    r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#id7&0#{x}";
    r.openPath = "/dev/sg7";
    r.attached = 1;
    return r;
  }
  std::string Log() { return ReadWholeFile(dir / "log.txt").value_or(""); }
  std::vector<uint8_t> Op(size_t i) const {
    return {transport->sent.at(i).cdb[2], transport->sent.at(i).cdb[3]};
  }
};

TEST(PortDevice, OpenWritesTheStationsLogLinesAndUsesTheOpenPath) {
  Bench b;
  EXPECT_TRUE(b.dev->OpenDevice());
  EXPECT_EQ(b.transport->opened, std::vector<std::string>{"/dev/sg7"});
  EXPECT_EQ(b.Log(), "id7: T56id7: \r\r\n");
  EXPECT_EQ(b.dev->out.port, 3);
  EXPECT_EQ(b.dev->out.instanceId, "id7");

  PortRecord noNode = Bench::Bound();
  noNode.openPath.clear();
  Bench c(noNode);
  c.transport->openError = EBUSY;
  EXPECT_FALSE(c.dev->OpenDevice());
  EXPECT_EQ(c.transport->opened.at(0), noNode.devicePath);
  EXPECT_EQ(c.Log(), "id7: Error CreateFile 16 id7id7: \r\r\n");
  EXPECT_TRUE(c.view.texts.empty());  // nothing on the status line

  // The destructor closes an open handle.
  std::shared_ptr<int> closes = b.transport->closes;
  b.dev.reset();
  EXPECT_EQ(*closes, 1);
}

TEST(PortDevice, FailedCommandsAreLoggedOnlyWhileLoggingIsOn) {
  Bench b;
  b.transport->script = {Reply(kBad, {}, EIO), Reply(kFail, {}, ENODEV), Reply(kFail, {}, ENODEV)};
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  EXPECT_EQ(b.Log(), "id7: T1000id7: \r\r\nid7: T1015\r\r\nid7: \r\r\n");
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  EXPECT_EQ(b.Log(), "id7: T1000id7: \r\r\nid7: T1015\r\r\nid7: \r\r\n"
                     "id7: T10119\r\r\nid7: \r\r\n");
  std::string before = b.Log();
  b.dev->logTransportErrors = false;
  EXPECT_FALSE(b.dev->SendCommand(CheckAliveCommand(), nullptr));
  EXPECT_EQ(b.Log(), before);
  // A data phase without a buffer never reaches the transport.
  EXPECT_FALSE(b.dev->SendCommand(QueryStateCommand(), nullptr));
  EXPECT_EQ(b.transport->sent.size(), 3u);
}

TEST(PortCommands, CheckAliveKeepsTheLogQuietWhileTheHandsetIsAway) {
  Bench b;
  b.transport->script = {Reply(kFail, {}, ENODEV), Reply(kGood), Reply(kGood)};
  EXPECT_FALSE(CheckAlive(*b.dev, true));
  EXPECT_FALSE(b.dev->logTransportErrors);  // the caller turns it back on
  EXPECT_EQ(b.Log(), "");
  EXPECT_TRUE(CheckAlive(*b.dev, false));
  EXPECT_TRUE(b.dev->logTransportErrors);
  EXPECT_TRUE(b.view.texts.empty());
  EXPECT_TRUE(CheckAlive(*b.dev, true));
  EXPECT_EQ(b.view.texts, std::vector<std::string>{"T58"});
}

TEST(PortCommands, ResultsAndMessagesOfTheSimpleOperations) {
  Bench b;
  b.transport->script = {Reply(kGood), Reply(kFail, {}, EIO),            // OpenDownload
                         Reply(kGood, {1, 0, 0, 0}), Reply(kGood, {2}),  // QueryState busy, ready
                         Reply(kFail), Reply(kGood, {}),                 // QueryState failed, empty
                         Reply(kGood), Reply(kFail),                     // FinishFileSets
                         Reply(kFail), Reply(kGood)};                    // AbortImage
  EXPECT_TRUE(OpenDownload(*b.dev));
  EXPECT_FALSE(OpenDownload(*b.dev));
  bool reachable = false;
  EXPECT_FALSE(QueryState(*b.dev, reachable));
  EXPECT_TRUE(reachable);
  EXPECT_TRUE(QueryState(*b.dev, reachable));
  EXPECT_TRUE(reachable);
  EXPECT_FALSE(QueryState(*b.dev, reachable));
  EXPECT_FALSE(reachable);
  EXPECT_FALSE(QueryState(*b.dev, reachable));  // no reply bytes: busy
  EXPECT_TRUE(reachable);
  EXPECT_TRUE(FinishFileSets(*b.dev));
  EXPECT_FALSE(FinishFileSets(*b.dev));
  EXPECT_FALSE(AbortImage(*b.dev));
  EXPECT_TRUE(AbortImage(*b.dev));
  EXPECT_EQ(b.view.texts, (std::vector<std::string>{"T60", "T59", "T460 S...", "T45", "T99", "T99"}));
  EXPECT_TRUE(b.clock.sleeps().empty());
}

TEST(PortCommands, ImageCommandsPauseAfterSuccessAndReportFailure) {
  Bench b;
  b.transport->script = {Reply(kGood), Reply(kFail), Reply(kGood), Reply(kGood), Reply(kFail)};
  EXPECT_TRUE(BeginImage(*b.dev, 5, 0x12345678));
  EXPECT_FALSE(EndImage(*b.dev, 5, 10));
  EXPECT_TRUE(CommitSegment(*b.dev, 5, 0x01080000, 1, false));
  EXPECT_TRUE(SendSegmentCheck(*b.dev, 5, 0xABCD));
  EXPECT_FALSE(SendSegmentCheck(*b.dev, 5, 0xABCD));
  EXPECT_EQ(b.clock.sleeps(), (std::vector<uint32_t>{200, 200, 200}));
  EXPECT_EQ(b.view.texts, (std::vector<std::string>{"T74", "T74"}));
  ASSERT_EQ(b.transport->sent.size(), 5u);
  EXPECT_EQ(b.transport->sent[0].cdb, BeginImageCommand(5, 0x12345678).cdb);
  EXPECT_EQ(b.transport->sent[3].cdb, SendSegmentCheckCommand(5, 0xABCD).cdb);
}

TEST(PortCommands, WaitCompletionCountsHalfSecondsAndSurvivesFailedPolls) {
  {
    Bench b;  // the first poll already answers "1"
    b.transport->script = {Reply(kGood), Reply(kGood, TextReply("1"))};
    EXPECT_TRUE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.view.texts, std::vector<std::string>{"T1100 S..."});
    EXPECT_EQ(b.view.positions, std::vector<uint32_t>{kProgressMax});
    EXPECT_EQ(b.Op(0), (std::vector<uint8_t>{4, 1}));
    EXPECT_EQ(b.transport->sent[0].cdb[8], 1);  // StartCompletion
    EXPECT_EQ(b.transport->sent[1].cdb[8], 2);  // PollCompletion
    EXPECT_EQ(b.transport->sent[1].length, 50u);
  }
  {
    Bench b;  // "0" twenty times
    b.transport->script = {Reply(kGood)};
    for (int i = 0; i < 20; ++i) b.transport->script.push_back(Reply(kGood, TextReply("0")));
    EXPECT_FALSE(WaitCompletion(*b.dev));
    ASSERT_EQ(b.view.texts.size(), 21u);
    for (int r = 0; r < 20; ++r)
      EXPECT_EQ(b.view.texts[static_cast<size_t>(r)], "T109" + std::to_string(r / 2) + " S.....\r\n");
    EXPECT_EQ(b.view.texts.back(), "T111");
    EXPECT_EQ(b.clock.sleeps(), std::vector<uint32_t>(20, 500));
    EXPECT_EQ(b.Log(), "id7: T111id7: \r\r\n");  // waiting lines are not logged
  }
  {
    Bench b;  // a failed poll, then "10" (not "1"), then "1" without a terminator
    std::vector<uint8_t> full(50, '1');
    std::vector<uint8_t> one = TextReply("1");
    one.push_back(0);
    one.push_back('x');
    b.transport->script = {Reply(kGood), Reply(kFail), Reply(kGood, TextReply("10")),
                           Reply(kGood, full), Reply(kGood, one)};
    EXPECT_TRUE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.view.texts, (std::vector<std::string>{"T111", "T1090 S.....\r\n",
                                                      "T1091 S.....\r\n", "T1101 S..."}));
  }
  {
    Bench b;
    b.transport->script = {Reply(kFail)};
    EXPECT_FALSE(WaitCompletion(*b.dev));
    EXPECT_EQ(b.transport->sent.size(), 1u);
    EXPECT_EQ(b.view.texts, std::vector<std::string>{"T111"});
  }
}

TEST(PortCommands, DataCommandsCarryTheirBytesAndRefuseWhatDoesNotFit) {
  Bench b;
  std::vector<uint8_t> block(kMaxBlockLength, 0x5A);
  EXPECT_TRUE(SendImageBlock(*b.dev, block.data(), kMaxBlockLength, 0x1234, false));
  EXPECT_FALSE(SendImageBlock(*b.dev, block.data(), kMaxBlockLength + 1, 0, true));
  EXPECT_TRUE(SendFileBlock(*b.dev, block.data(), 3, 0x0408, true, 9));
  EXPECT_FALSE(SendCreateFolder(*b.dev, std::string(0x10000, 'a')));
  EXPECT_TRUE(SendCreateFolder(*b.dev, "//udisk//"));
  EXPECT_TRUE(SendBeginFile(*b.dev, "//udisk//ring//a.mp3"));
  EXPECT_FALSE(SendPrepareStorage(*b.dev, 6));
  EXPECT_TRUE(SendPrepareStorage(*b.dev, 4));
  const auto& s = b.transport->sent;
  ASSERT_EQ(s.size(), 5u);
  EXPECT_EQ(s[0].data, block);
  EXPECT_EQ(s[0].cdb, WriteImageBlockCommand(0xFE00, 0x1234, false).cdb);
  EXPECT_EQ(s[1].data.size(), 3u);
  EXPECT_EQ(s[1].cdb[12], 9);
  EXPECT_EQ(std::string(s[2].data.begin(), s[2].data.end()), "//udisk//");
  EXPECT_EQ(s[2].cdb, CreateFolderCommand(9).cdb);
  EXPECT_EQ(s[3].cdb, BeginFileCommand(20).cdb);
  EXPECT_EQ(s[4].cdb, PrepareStorageCommand(4).cdb);

  // EndFile sends the file's size and check register and starts the next
  // file from zero, whatever the handset said.
  b.transport->script = {Reply(kFail)};
  b.dev->fileSize = 70000;
  b.dev->fileCheck = 0xCAFEF00D;
  EXPECT_FALSE(SendEndFile(*b.dev));
  EXPECT_EQ(s.back().cdb, EndFileCommand(70000, 0xCAFEF00D).cdb);
  EXPECT_EQ(b.dev->fileSize, 0u);
  EXPECT_EQ(b.dev->fileCheck, 0u);
}

TEST(PortCommands, StorageRepliesAreReadAsBoundedTexts) {
  Bench b;
  std::array<uint8_t, kPollStorageLength> reply;
  reply.fill(0xEE);
  b.transport->script = {Reply(kGood, TextReply("end=p1=1:p2=1:p3=1:p4=1"))};
  ASSERT_TRUE(SendPollStorage(*b.dev, 1, reply));
  EXPECT_TRUE(StorageReplyIsReady(1, reply.data(), reply.size()));  // rest was zeroed
  EXPECT_FALSE(StorageReplyIsReady(2, reply.data(), reply.size()));
  EXPECT_FALSE(SendPollStorage(*b.dev, 0, reply));

  struct Case {
    std::string bytes;
    int mode;
    bool ready;
  };
  const Case cases[] = {
      {std::string("1\0", 2), 3, true},
      {std::string("1\0garbage", 9), 5, true},
      {"1", 2, true},  // no terminator: the whole buffer is the text
      {"11", 2, false},
      {"", 2, false},
      {std::string("end=p1=1:p2=1:p3=1:p4=0\0", 24), 1, false},
      {std::string("end=p1=1:p2=1:p3=1:p4=1x", 24), 1, false},
      {"1", 6, false},
  };
  for (const Case& c : cases) {
    auto* p = reinterpret_cast<const uint8_t*>(c.bytes.data());
    EXPECT_EQ(StorageReplyIsReady(c.mode, p, c.bytes.size()), c.ready) << c.bytes << " " << c.mode;
  }
}

}  // namespace
}  // namespace flashery
