#include "device/sim_transport.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

#include "device/sim_wire.h"
#include "device/vendor_command.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

int Listen(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  EXPECT_EQ(::listen(fd, 1), 0);
  return fd;
}

// A one-connection handset: each request goes to `serve`, which answers
// on the connection (or not).
class TinyHandset {
 public:
  TinyHandset(const std::string& path, std::function<bool(int, const WireRequest&)> serve)
      : listenFd_(Listen(path)), serve_(std::move(serve)) {
    thread_ = std::thread([this] {
      int c = ::accept(listenFd_, nullptr, nullptr);
      if (c < 0) return;
      WireRequest r;
      while (ReadWireRequest(c, r, 5000) == WireIo::kOk) {
        ++requests;
        if (!serve_(c, r)) break;
      }
      ::close(c);
    });
  }
  ~TinyHandset() {
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
  }
  std::atomic<int> requests{0};

 private:
  int listenFd_;
  std::function<bool(int, const WireRequest&)> serve_;
  std::thread thread_;
};

TEST(SimSocketTransport, ExchangesCommandsWithAHandset) {
  testing::TempDir dir;
  std::string sock = SimSocketPath(dir.path(), "S1");
  std::vector<uint8_t> received;
  TinyHandset handset(sock, [&](int c, const WireRequest& r) {
    if (r.header.cdb[3] == 0x03) received = r.data;  // WriteBlock
    if (r.header.cdb[2] == 0x01) return SendWireReply(c, 2, nullptr, 0, 1000) == WireIo::kOk;
    const uint8_t state[4] = {2, 0, 0, 0};
    if (r.header.direction == DataDirection::kFromDevice)
      return SendWireReply(c, 0, state, 4, 1000) == WireIo::kOk;
    return SendWireReply(c, 0, nullptr, 0, 1000) == WireIo::kOk;
  });
  SimSocketTransport t(1.0);
  ASSERT_TRUE(t.Open(sock).ok);

  uint8_t state[4] = {};
  VendorCommand q = QueryStateCommand();
  SendResult r = t.Send(q.cdb, q.direction, state, 4);
  EXPECT_TRUE(r.good());
  EXPECT_EQ(r.transferred, 4u);
  EXPECT_EQ(state[0], 2);

  std::vector<uint8_t> block(kMaxBlockLength);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  VendorCommand w = WriteImageBlockCommand(0xFE00, 0, false);
  EXPECT_TRUE(t.Send(w.cdb, w.direction, block.data(), kMaxBlockLength).good());
  EXPECT_EQ(received, block);

  // A check condition is a bad status, and the connection stays usable.
  VendorCommand c = CheckAliveCommand();
  r = t.Send(c.cdb, c.direction, nullptr, 0);
  EXPECT_EQ(r.status, SendStatus::kBadStatus);
  EXPECT_EQ(r.scsiStatus, 2);
  EXPECT_TRUE(t.Send(q.cdb, q.direction, state, 4).good());
}

TEST(SimSocketTransport, AbsentBusyGoneLateAndMalformedHandsetsAreFailures) {
  testing::TempDir dir;
  SimSocketTransport t(1.0);  // 8 s: only the late handset runs into it
  SimSocketTransport quick(0.001, 20);
  EXPECT_EQ(t.Open(SimSocketPath(dir.path(), "none")).errorCode, ENOENT);

  // A socket file nobody listens on: refused.
  {
    std::string stale = SimSocketPath(dir.path(), "stale");
    int fd = Listen(stale);
    ::close(fd);
    EXPECT_EQ(t.Open(stale).errorCode, ECONNREFUSED);
  }
  VendorCommand q = QueryStateCommand();
  uint8_t state[4] = {};
  {
    // The handset drops the connection instead of answering.
    std::string sock = SimSocketPath(dir.path(), "drop");
    TinyHandset h(sock, [](int, const WireRequest&) { return false; });
    ASSERT_TRUE(t.Open(sock).ok);
    EXPECT_EQ(t.Send(q.cdb, q.direction, state, 4).errorCode, ENODEV);
    EXPECT_FALSE(t.IsOpen());
    EXPECT_EQ(t.Send(q.cdb, q.direction, state, 4).errorCode, ENOTCONN);
  }
  {
    // The handset answers after the (scaled) time-out: the late reply is
    // never taken for the next command's.
    std::string sock = SimSocketPath(dir.path(), "late");
    std::atomic<bool> release{false};
    TinyHandset h(sock, [&](int c, const WireRequest&) {
      while (!release.load()) std::this_thread::yield();
      const uint8_t late[4] = {2, 0, 0, 0};
      SendWireReply(c, 0, late, 4, 1000);
      return true;
    });
    ASSERT_TRUE(quick.Open(sock).ok);
    SendResult r = quick.Send(q.cdb, q.direction, state, 4);
    release = true;
    EXPECT_EQ(r.status, SendStatus::kFailure);
    EXPECT_EQ(r.errorCode, ETIMEDOUT);
    EXPECT_EQ(state[0], 0);
    EXPECT_EQ(quick.Send(q.cdb, q.direction, state, 4).errorCode, ENOTCONN);
  }
  {
    // More bytes than were asked for.
    std::string sock = SimSocketPath(dir.path(), "big");
    TinyHandset h(sock, [](int c, const WireRequest&) {
      const uint8_t big[8] = {};
      return SendWireReply(c, 0, big, 8, 1000) == WireIo::kOk;
    });
    ASSERT_TRUE(t.Open(sock).ok);
    EXPECT_EQ(t.Send(q.cdb, q.direction, state, 4).errorCode, EPROTO);
    EXPECT_FALSE(t.IsOpen());
  }
}

}  // namespace
}  // namespace flashery
