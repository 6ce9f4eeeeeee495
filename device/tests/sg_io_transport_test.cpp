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
    EXPECT_EQ(h.dxfer_direction, cases[i].direction);
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
      {"ioctl fails", in, 4, [](sg_io_hdr_t&) { return ENODEV; }, fail, ENODEV, 0},
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
    if (c.status == bad && c.direction == in) {  // sense bytes are kept for the log
      EXPECT_EQ(r.scsiStatus, 2);
      EXPECT_EQ(r.senseLength, 18);
      EXPECT_EQ(r.sense[17], 0x70);
      EXPECT_EQ(r.sense[18], 0);
    }
  }
}

}  // namespace
}  // namespace flashery
