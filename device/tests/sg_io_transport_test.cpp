#include "device/sg_io_transport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <vector>

#include "device/vendor_command.h"

namespace flashery {
namespace {

// Records every request and lets each test decide what the driver did.
struct FakeSgCalls final : SgIoCalls {
  std::vector<std::pair<std::string, int>> opens;
  int openResult = 5;
  std::vector<sg_io_hdr_t> requests;
  std::vector<std::vector<uint8_t>> cdbs;
  std::function<int(sg_io_hdr_t&)> driver = [](sg_io_hdr_t&) { return 0; };
  std::vector<int> closed;

  int Open(const std::string& path, int flags) override {
    opens.emplace_back(path, flags);
    return openResult;
  }
  int SgIo(int, sg_io_hdr_t& h) override {
    requests.push_back(h);
    cdbs.emplace_back(h.cmdp, h.cmdp + h.cmd_len);
    return driver(h);
  }
  void Close(int fd) override { closed.push_back(fd); }
};

TEST(SgIoTransport, OpensExclusivelyAndBuildsEveryFieldOfTheRequest) {
  FakeSgCalls calls;
  SgIoTransport t(calls);
  ASSERT_TRUE(t.Open("/dev/sg4").ok);
  ASSERT_EQ(calls.opens.size(), 1u);
  EXPECT_EQ(calls.opens[0].first, "/dev/sg4");
  int flags = calls.opens[0].second;
  EXPECT_EQ(flags & O_ACCMODE, O_RDWR);
  EXPECT_TRUE(flags & O_EXCL);
  EXPECT_TRUE(flags & O_NONBLOCK);

  // From the handset, into the caller's own buffer.
  uint8_t state[4] = {};
  VendorCommand q = QueryStateCommand();
  EXPECT_TRUE(t.Send(q.cdb, q.direction, state, 4, kCommandTimeoutMs).good());
  // To the handset.
  std::vector<uint8_t> block(kMaxBlockLength, 1);
  VendorCommand w = WriteImageBlockCommand(0xFE00, 7, false);
  EXPECT_TRUE(t.Send(w.cdb, w.direction, block.data(), kMaxBlockLength).good());
  // No data; and "data-in with length 0" goes as no data too.
  VendorCommand c = CheckAliveCommand();
  EXPECT_TRUE(t.Send(c.cdb, c.direction, nullptr, 0).good());
  VendorCommand m = SelectModeCommand();
  EXPECT_TRUE(t.Send(m.cdb, m.direction, nullptr, 0).good());

  ASSERT_EQ(calls.requests.size(), 4u);
  for (size_t i = 0; i < calls.requests.size(); ++i) {
    const sg_io_hdr_t& h = calls.requests[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(h.interface_id, 'S');
    EXPECT_EQ(h.cmd_len, 16);
    EXPECT_EQ(h.mx_sb_len, 24);
    EXPECT_NE(h.sbp, nullptr);
    EXPECT_EQ(h.timeout, 8000u);
    EXPECT_EQ(h.iovec_count, 0);
    EXPECT_EQ(h.flags, 0u);
  }
  EXPECT_EQ(calls.requests[0].dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(calls.requests[0].dxferp, state);
  EXPECT_EQ(calls.requests[0].dxfer_len, 4u);
  EXPECT_EQ(calls.requests[1].dxfer_direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(calls.requests[1].dxferp, block.data());
  EXPECT_EQ(calls.requests[1].dxfer_len, 65024u);
  for (size_t i : {2u, 3u}) {
    EXPECT_EQ(calls.requests[i].dxfer_direction, SG_DXFER_NONE);
    EXPECT_EQ(calls.requests[i].dxferp, nullptr);
    EXPECT_EQ(calls.requests[i].dxfer_len, 0u);
  }
  EXPECT_EQ(calls.cdbs[0], std::vector<uint8_t>(q.cdb.begin(), q.cdb.end()));
  EXPECT_EQ(calls.cdbs[1], std::vector<uint8_t>(w.cdb.begin(), w.cdb.end()));

  // Reopening closes the earlier handle; Close is idempotent.
  ASSERT_TRUE(t.Open("/dev/sg5").ok);
  EXPECT_EQ(calls.closed, std::vector<int>{5});
  t.Close();
  t.Close();
  EXPECT_EQ(calls.closed, (std::vector<int>{5, 5}));
  EXPECT_EQ(t.Send(c.cdb, c.direction, nullptr, 0).errorCode, EBADF);

  calls.openResult = -EBUSY;  // another opener holds the handset
  OpenResult r = t.Open("/dev/sg5");
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.errorCode, EBUSY);
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
  const auto in = DataDirection::kFromDevice;
  const auto out = DataDirection::kToDevice;
  const Case cases[] = {
      {"good", in, 50, with(0, 0, 0, SG_INFO_OK, 0), SendStatus::kGood, 0, 50},
      {"short data-in is good", in, 1024, with(0, 0, 0, SG_INFO_OK, 1000), SendStatus::kGood, 0, 24},
      {"check condition (raw 0x02)", in, 4, with(0x02, 0, 0x08, SG_INFO_CHECK, 4, 18),
       SendStatus::kBadStatus, EIO, 0},
      {"busy status", out, 10, with(0x08, 0, 0, SG_INFO_CHECK, 0), SendStatus::kBadStatus, EIO, 10},
      {"unplugged: no connect", out, 10, with(0, 0x01, 0, SG_INFO_CHECK, 10),
       SendStatus::kFailure, ENODEV, 0},
      {"host time-out", out, 10, with(0, 0x03, 0, SG_INFO_CHECK, 0), SendStatus::kFailure,
       ETIMEDOUT, 10},
      {"driver time-out", in, 4, with(0, 0, 0x06, SG_INFO_CHECK, 0), SendStatus::kFailure,
       ETIMEDOUT, 4},
      {"driver error with status 0", in, 4, with(0, 0, 0x04, SG_INFO_CHECK, 0),
       SendStatus::kFailure, EIO, 4},
      {"info says not ok", in, 4, with(0, 0, 0, SG_INFO_CHECK, 0), SendStatus::kFailure, EIO, 4},
      {"short write is a failure", out, 65024, with(0, 0, 0, SG_INFO_OK, 512),
       SendStatus::kFailure, EIO, 64512},
      {"resid beyond the length", in, 4, with(0, 0, 0, SG_INFO_OK, 5), SendStatus::kFailure,
       EPROTO, 0},
      {"negative resid", in, 4, with(0, 0, 0, SG_INFO_OK, -1), SendStatus::kFailure, EPROTO, 0},
      {"ioctl fails: device gone", in, 4, [](sg_io_hdr_t&) { return ENODEV; },
       SendStatus::kFailure, ENODEV, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeSgCalls calls;
    calls.driver = c.driver;
    SgIoTransport t(calls);
    ASSERT_TRUE(t.Open("/dev/sg0").ok);
    std::vector<uint8_t> buffer(c.length);
    SendResult r = t.Send(QueryStateCommand().cdb, c.direction, buffer.data(), c.length);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.errorCode, c.errorCode);
    EXPECT_EQ(r.transferred, c.transferred);
  }
  // Sense bytes of a check condition are kept for the log.
  FakeSgCalls calls;
  calls.driver = with(0x02, 0, 0x08, SG_INFO_CHECK, 0, 18);
  SgIoTransport t(calls);
  ASSERT_TRUE(t.Open("/dev/sg0").ok);
  SendResult r = t.Send(CheckAliveCommand().cdb, DataDirection::kNone, nullptr, 0);
  EXPECT_EQ(r.scsiStatus, 0x02);
  EXPECT_EQ(r.senseLength, 18);
  EXPECT_EQ(r.sense[0], 0x70);
  EXPECT_EQ(r.sense[18], 0);
}

}  // namespace
}  // namespace flashery
