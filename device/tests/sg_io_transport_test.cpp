#include "device/sg_io_transport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "device/tests/fake_sg_calls.h"
#include "device/vendor_command.h"

namespace flashery {
namespace {

using testing::FakeSgCalls;

TEST(SgIoTransport, OpensExclusivelyAndBuildsEveryFieldOfTheRequest) {
  FakeSgCalls calls;
  SgIoTransport t(calls);
  ASSERT_TRUE(t.Open("/dev/sg4").ok);
  EXPECT_EQ(calls.opens.at(0).first, "/dev/sg4");
  int flags = calls.opens[0].second;
  EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
  EXPECT_TRUE((flags & O_EXCL) && (flags & O_NONBLOCK));

  uint8_t state[4] = {};
  std::vector<uint8_t> block(kMaxBlockLength, 1);
  struct Case {
    VendorCommand cmd;
    uint8_t* data;
    int direction;  // what the driver is asked for
  };
  // Data-in into the caller's buffer, data-out from it, no data, and
  // "data-in with length 0" (no data either).
  const Case cases[] = {{QueryStateCommand(), state, SG_DXFER_FROM_DEV},
                        {WriteImageBlockCommand(0xFE00, 7, false), block.data(), SG_DXFER_TO_DEV},
                        {CheckAliveCommand(), nullptr, SG_DXFER_NONE},
                        {SelectModeCommand(), nullptr, SG_DXFER_NONE}};
  for (const Case& c : cases)
    EXPECT_TRUE(t.Send(c.cmd.cdb, c.cmd.direction, c.data, c.cmd.dataLength).good());
  ASSERT_EQ(calls.requests.size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    const sg_io_hdr_t& h = calls.requests[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(h.interface_id, 'S');
    EXPECT_EQ(h.pack_id, static_cast<int>(i + 1));
    EXPECT_EQ(h.dxfer_direction, cases[i].direction);
    // A block goes from the caller's buffer; a reply comes into the
    // transport's own.
    if (cases[i].direction == SG_DXFER_FROM_DEV)
      EXPECT_TRUE(h.dxferp != nullptr && h.dxferp != cases[i].data);
    else
      EXPECT_EQ(h.dxferp, cases[i].data);
    EXPECT_EQ(h.dxfer_len, cases[i].cmd.dataLength);
    EXPECT_EQ(calls.cdbs[i], std::vector<uint8_t>(cases[i].cmd.cdb.begin(), cases[i].cmd.cdb.end()));
    EXPECT_EQ(h.cmd_len, 16);
    EXPECT_EQ(h.mx_sb_len, 24);
    EXPECT_NE(h.sbp, nullptr);
    EXPECT_EQ(h.timeout, 8000u);
    EXPECT_EQ(h.iovec_count + h.flags, 0u);
  }

  // Reopening closes the earlier handle; a closed transport sends nothing.
  ASSERT_TRUE(t.Open("/dev/sg5").ok);
  t.Close();
  t.Close();
  EXPECT_EQ(calls.closed, (std::vector<int>{5, 5}));
  EXPECT_EQ(t.Send(CheckAliveCommand().cdb, DataDirection::kNone, nullptr, 0).errorCode, EBADF);
  calls.openResult = -EBUSY;  // another opener holds the handset
  EXPECT_EQ(t.Open("/dev/sg5").errorCode, EBUSY);
  EXPECT_FALSE(t.IsOpen());
}

TEST(SgIoTransport, RepliesOfTheDriverAreJudgedStrictly) {
  struct Case {
    const char* name;
    DataDirection direction;
    uint32_t length;
    std::function<int(sg_io_hdr_t&)> driver;
    SendStatus status;
    int errorCode;
    uint32_t transferred;
  };
  auto with = [](uint8_t status, uint16_t host, uint16_t driver, unsigned info, int resid,
                 int sense = 0) {
    return [=](sg_io_hdr_t& h) {
      h.status = status;
      h.masked_status = static_cast<unsigned char>(status >> 1);
      h.host_status = host;
      h.driver_status = driver;
      h.info = info;
      h.resid = resid;
      if (sense > 0) {
        std::memset(h.sbp, 0x70, static_cast<size_t>(sense));
        h.sb_len_wr = static_cast<unsigned char>(sense);
      }
      return 0;
    };
  };
  const auto in = DataDirection::kFromDevice, out = DataDirection::kToDevice;
  const auto good = SendStatus::kGood, bad = SendStatus::kBadStatus, fail = SendStatus::kFailure;
  const Case cases[] = {
      {"good", in, 50, with(0, 0, 0, SG_INFO_OK, 0), good, 0, 50},
      {"short data-in is good", in, 1024, with(0, 0, 0, SG_INFO_OK, 1000), good, 0, 24},
      {"check condition, raw 0x02", in, 4, with(2, 0, 0x08, SG_INFO_CHECK, 4, 18), bad, EIO, 0},
      {"busy status", out, 10, with(0x08, 0, 0, SG_INFO_CHECK, 0), bad, EIO, 10},
      {"unplugged: no connect", out, 10, with(0, 0x01, 0, SG_INFO_CHECK, 10), fail, ENODEV, 0},
      {"host time-out", out, 10, with(0, 0x03, 0, SG_INFO_CHECK, 0), fail, ETIMEDOUT, 10},
      {"driver time-out", in, 4, with(0, 0, 0x06, SG_INFO_CHECK, 0), fail, ETIMEDOUT, 4},
      {"driver error, status 0", in, 4, with(0, 0, 0x04, SG_INFO_CHECK, 0), fail, EIO, 4},
      {"info says not ok", in, 4, with(0, 0, 0, SG_INFO_CHECK, 0), fail, EIO, 4},
      {"short write", out, 65024, with(0, 0, 0, SG_INFO_OK, 512), fail, EIO, 64512},
      {"resid beyond the length", in, 4, with(0, 0, 0, SG_INFO_OK, 5), fail, EPROTO, 0},
      {"negative resid", in, 4, with(0, 0, 0, SG_INFO_OK, -1), fail, EPROTO, 0},
      {"submission refused", in, 4, [](sg_io_hdr_t&) { return ENODEV; }, fail, ENODEV, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSgCalls calls;
    calls.driver = c.driver;
    SgIoTransport t(calls);
    ASSERT_TRUE(t.Open("/dev/sg0").ok);
    std::vector<uint8_t> buffer(c.length);
    SendResult r = t.Send(QueryStateCommand().cdb, c.direction, buffer.data(), c.length);
    EXPECT_EQ(calls.requests.size(), 1u);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.errorCode, c.errorCode);
    EXPECT_EQ(r.transferred, c.transferred);
    if (c.status == bad && c.direction == in) {  // sense bytes are kept for the log
      EXPECT_EQ(r.scsiStatus, 2);
      EXPECT_EQ(r.senseLength, 18);
      EXPECT_EQ(r.sense[17], 0x70);
      EXPECT_EQ(r.sense[18], 0);
    }
  }
}

// What the driver answers a QueryState with: ready, and 3 bytes of sense
// that must not reach the reply.
int AnswerReady(sg_io_hdr_t& h) {
  if (h.dxfer_direction == SG_DXFER_FROM_DEV) std::memset(h.dxferp, 2, 1);
  h.resid = static_cast<int>(h.dxfer_len) - 1;
  return 0;
}

TEST(SgIoTransport, EachCommandIsSubmittedOnceWhateverInterruptsItsCollection) {
  struct Case {
    const char* name;
    std::deque<int> polls, receives;
    int submitError;
    int errorCode;  // 0: the reply is collected
  };
  const Case cases[] = {
      {"nothing interrupts", {}, {}, 0, 0},
      {"the poll is interrupted again and again", {-EINTR, -EINTR, -EINTR}, {}, 0, 0},
      {"the read is interrupted", {}, {EINTR, EINTR}, 0, 0},
      {"a wake-up finds nothing to read", {}, {EAGAIN}, 0, 0},
      {"both, in turn", {-EINTR, 1, -EINTR}, {EINTR, EAGAIN}, 0, 0},
      {"the submission is interrupted: not sent, not repeated", {}, {}, EINTR, EINTR},
      {"the node went away while waiting", {-ENODEV}, {}, 0, ENODEV},
      {"the read fails", {}, {EIO}, 0, EIO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSgCalls calls;
    calls.pollScript = c.polls;
    calls.receiveScript = c.receives;
    calls.driver = [&](sg_io_hdr_t& h) { return c.submitError ? c.submitError : AnswerReady(h); };
    SgIoTransport t(calls);
    ASSERT_TRUE(t.Open("/dev/sg0").ok);
    uint8_t reply[4] = {7, 7, 7, 7};
    SendResult r = t.Send(QueryStateCommand().cdb, DataDirection::kFromDevice, reply, 4);
    EXPECT_EQ(calls.requests.size(), 1u);
    EXPECT_EQ(r.errorCode, c.errorCode);
    if (c.errorCode == 0) {
      EXPECT_TRUE(r.good());
      EXPECT_EQ(r.transferred, 1u);
      // Only the byte that arrived is copied; the rest keep their contents.
      EXPECT_EQ(std::vector<uint8_t>(reply, reply + 4), (std::vector<uint8_t>{2, 7, 7, 7}));
    } else {
      EXPECT_EQ(reply[0], 7);
    }
    // Interruptions cost no time of their own: the wait stays bounded by
    // the driver's time-out and the margin.
    for (int ms : calls.pollTimeouts) EXPECT_EQ(ms, 8000 + static_cast<int>(kReplyMarginMs));
    EXPECT_EQ(t.outstanding(), c.errorCode == 0 || c.submitError ? 0u : 1u);
  }
}

TEST(SgIoTransport, AReplyThatNeverComesFailsAndItsLateReplyIsDropped) {
  FakeSgCalls calls;
  calls.holdReplies = true;
  calls.driver = [](sg_io_hdr_t& h) {  // the late reply brings other bytes
    if (h.dxfer_direction == SG_DXFER_FROM_DEV) std::memset(h.dxferp, 9, h.dxfer_len);
    return 0;
  };
  SgIoTransport t(calls);
  ASSERT_TRUE(t.Open("/dev/sg0").ok);
  uint8_t first[4] = {};
  SendResult r = t.Send(QueryStateCommand().cdb, DataDirection::kFromDevice, first, 4);
  EXPECT_EQ(r.status, SendStatus::kFailure);
  EXPECT_EQ(r.errorCode, ETIMEDOUT);
  EXPECT_EQ(calls.now, 8000u + kReplyMarginMs);
  EXPECT_EQ(t.outstanding(), 1u);

  // The late reply arrives before the next command's: it is read and
  // dropped, and lands in no caller's buffer.
  calls.ready = calls.held;
  calls.held.clear();
  calls.holdReplies = false;
  calls.driver = AnswerReady;
  uint8_t second[4] = {};
  r = t.Send(QueryStateCommand().cdb, DataDirection::kFromDevice, second, 4);
  EXPECT_TRUE(r.good());
  EXPECT_EQ(second[0], 2);
  EXPECT_EQ(second[1], 0);
  EXPECT_EQ(first[0], 0);
  EXPECT_EQ(calls.requests.size(), 2u);
  EXPECT_NE(calls.requests[0].pack_id, calls.requests[1].pack_id);
  EXPECT_EQ(t.outstanding(), 0u);

  // A node that holds as many given-up commands as the driver queues takes
  // no more until it is reopened.
  calls.holdReplies = true;
  for (size_t i = 0; i < kMaxOutstanding; ++i)
    EXPECT_EQ(t.Send(CheckAliveCommand().cdb, DataDirection::kNone, nullptr, 0).errorCode, ETIMEDOUT);
  size_t submitted = calls.requests.size();
  EXPECT_EQ(t.Send(CheckAliveCommand().cdb, DataDirection::kNone, nullptr, 0).errorCode, EBUSY);
  EXPECT_EQ(calls.requests.size(), submitted);
  ASSERT_TRUE(t.Open("/dev/sg0").ok);
  EXPECT_EQ(t.outstanding(), 0u);
}

}  // namespace
}  // namespace flashery
