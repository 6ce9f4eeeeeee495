#include "device/sim_transport.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <functional>
#include <thread>

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

// A one-connection handset: `serve` answers each request (false: hang up).
class TinyHandset {
 public:
  TinyHandset(const std::string& path, std::function<bool(int, const WireRequest&)> serve)
      : fd_(Listen(path)) {
    thread_ = std::thread([this, serve] {
      int c = ::accept(fd_, nullptr, nullptr);
      WireRequest r;
      while (c >= 0 && ReadWireRequest(c, r, 5000) == WireIo::kOk && serve(c, r)) {
      }
      if (c >= 0) ::close(c);
    });
  }
  ~TinyHandset() {
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
  }

 private:
  int fd_;
  std::thread thread_;
};

const VendorCommand kQuery = QueryStateCommand();

TEST(SimSocketTransport, ExchangesCommandsWithAHandset) {
  testing::TempDir dir;
  std::string sock = SimSocketPath(dir.path(), "S1");
  std::vector<uint8_t> received;
  TinyHandset handset(sock, [&](int c, const WireRequest& r) {
    received = r.data;
    const uint8_t state[4] = {2, 0, 0, 0};
    uint8_t status = r.header.cdb[2] == 0x01 ? 2 : 0;  // CheckAlive: check condition
    bool in = r.header.direction == DataDirection::kFromDevice;
    return SendWireReply(c, r.header.tag, status, in ? state : nullptr, in ? 4 : 0, 1000) == WireIo::kOk;
  });
  SimSocketTransport t(1.0);
  ASSERT_TRUE(t.Open(sock).ok);
  uint8_t state[4] = {};
  SendResult r = t.Send(kQuery.cdb, kQuery.direction, state, 4);
  EXPECT_TRUE(r.good());
  EXPECT_EQ(r.transferred, 4u);
  EXPECT_EQ(state[0], 2);

  std::vector<uint8_t> block(kMaxBlockLength);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  VendorCommand w = WriteImageBlockCommand(0xFE00, 0, false);
  EXPECT_TRUE(t.Send(w.cdb, w.direction, block.data(), kMaxBlockLength).good());
  EXPECT_EQ(received, block);

  // A check condition is a bad status; the connection stays usable.
  r = t.Send(CheckAliveCommand().cdb, DataDirection::kNone, nullptr, 0);
  EXPECT_EQ(r.status, SendStatus::kBadStatus);
  EXPECT_EQ(r.scsiStatus, 2);
  EXPECT_TRUE(t.Send(kQuery.cdb, kQuery.direction, state, 4).good());
}

TEST(SimSocketTransport, AbsentGoneLateSilentAndMalformedHandsets) {
  testing::TempDir dir;
  SimSocketTransport t(1.0);  // 8 s: only the late handset runs into it
  SimSocketTransport quick(0.001, 20);
  EXPECT_EQ(t.Open(SimSocketPath(dir.path(), "none")).errorCode, ENOENT);
  std::string stale = SimSocketPath(dir.path(), "stale");
  ::close(Listen(stale));  // a socket file nobody listens on
  EXPECT_EQ(t.Open(stale).errorCode, ECONNREFUSED);

  uint8_t state[4] = {};
  {
    std::string sock = SimSocketPath(dir.path(), "drop");
    TinyHandset h(sock, [](int, const WireRequest&) { return false; });
    ASSERT_TRUE(t.Open(sock).ok);
    EXPECT_EQ(t.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, ENODEV);
    EXPECT_EQ(t.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, ENOTCONN);
  }
  {
    // A reply after the time-out is read past: the connection stays open
    // and the next command gets its own answer. This handset answers a
    // command late exactly when the next request has arrived.
    std::string sock = SimSocketPath(dir.path(), "late");
    std::vector<uint16_t> tags;
    {
    TinyHandset h(sock, [&](int c, const WireRequest& r) {
      tags.push_back(r.header.tag);
      if (tags.size() == 1) {
        pollfd p{c, POLLIN, 0};
        ::poll(&p, 1, 5000);
        const uint8_t late[4] = {7, 0, 0, 0};
        return SendWireReply(c, r.header.tag, 0, late, 4, 1000) == WireIo::kOk;
      }
      const uint8_t ready[4] = {2, 0, 0, 0};
      return SendWireReply(c, r.header.tag, 0, ready, 4, 1000) == WireIo::kOk;
    });
    ASSERT_TRUE(quick.Open(sock).ok);
    SendResult r = quick.Send(kQuery.cdb, kQuery.direction, state, 4);
    EXPECT_EQ(r.errorCode, ETIMEDOUT);
    EXPECT_TRUE(quick.IsOpen());
    EXPECT_EQ(state[0], 0);
    EXPECT_TRUE(quick.Send(kQuery.cdb, kQuery.direction, state, 4).good());
    EXPECT_EQ(state[0], 2);
    EXPECT_TRUE(quick.Send(kQuery.cdb, kQuery.direction, state, 4).good());
    quick.Close();
    }
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_NE(tags[0], 0);
    EXPECT_NE(tags[0], tags[1]);
    EXPECT_NE(tags[1], tags[2]);
  }
  {
    // A handset that never answers keeps the connection until it owes too
    // many replies; then it is given up.
    std::string sock = SimSocketPath(dir.path(), "silent");
    TinyHandset h(sock, [](int, const WireRequest&) { return true; });
    ASSERT_TRUE(quick.Open(sock).ok);
    for (size_t i = 0; i < kMaxOwedReplies; ++i) {
      EXPECT_EQ(quick.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, ETIMEDOUT);
      EXPECT_TRUE(quick.IsOpen());
    }
    EXPECT_EQ(quick.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, ETIMEDOUT);
    EXPECT_FALSE(quick.IsOpen());
  }
  {
    // A peer that predates tags answers untagged: fine, until a command
    // timed out; then its next reply could be either and ends the link.
    std::string sock = SimSocketPath(dir.path(), "old");
    int n = 0;
    TinyHandset h(sock, [&](int c, const WireRequest&) {
      if (++n == 2) return true;  // no answer
      const uint8_t ready[4] = {2, 0, 0, 0};
      return SendWireReply(c, 0, 0, ready, 4, 1000) == WireIo::kOk;
    });
    ASSERT_TRUE(quick.Open(sock).ok);
    EXPECT_TRUE(quick.Send(kQuery.cdb, kQuery.direction, state, 4).good());
    EXPECT_EQ(quick.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, ETIMEDOUT);
    EXPECT_EQ(quick.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, EPROTO);
    EXPECT_FALSE(quick.IsOpen());
  }
  {
    std::string sock = SimSocketPath(dir.path(), "big");
    TinyHandset h(sock, [](int c, const WireRequest&) {
      const uint8_t big[8] = {};
      return SendWireReply(c, 0, 0, big, 8, 1000) == WireIo::kOk;
    });
    ASSERT_TRUE(t.Open(sock).ok);
    EXPECT_EQ(t.Send(kQuery.cdb, kQuery.direction, state, 4).errorCode, EPROTO);
    EXPECT_FALSE(t.IsOpen());
  }
}

}  // namespace
}  // namespace flashery
