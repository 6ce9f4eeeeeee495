#include "device/sim_wire.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "platform/paths.h"

namespace flashery {
namespace {

struct SocketPair {
  int a = -1, b = -1;
  SocketPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    a = fds[0], b = fds[1];
  }
  ~SocketPair() {
    ::close(a);
    if (b >= 0) ::close(b);
  }
};

TEST(SimWire, HeadersAreLittleEndianAndHostileOnesAreRejected) {
  WireRequestHeader h;
  h.direction = DataDirection::kToDevice;
  h.dataLength = 0xFE00;
  h.timeoutMs = 8000;
  for (size_t i = 0; i < kCdbLength; ++i) h.cdb[i] = static_cast<uint8_t>(0xA0 + i);
  WireRequestBytes b = EncodeRequestHeader(h);
  const uint8_t head[12] = {1, 16, 0, 0, 0x00, 0xFE, 0, 0, 0x40, 0x1F, 0, 0};
  EXPECT_TRUE(std::equal(head, head + 12, b.begin()));
  EXPECT_EQ(b[12], 0xA0);
  EXPECT_EQ(b[27], 0xAF);
  auto d = DecodeRequestHeader(b.data(), b.size());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->dataLength, 0xFE00u);
  EXPECT_EQ(d->timeoutMs, 8000u);
  EXPECT_EQ(d->cdb, h.cdb);

  EXPECT_FALSE(DecodeRequestHeader(b.data(), b.size() - 1));
  auto with = [&](size_t at, uint8_t v) {
    WireRequestBytes x = b;
    x[at] = v;
    return DecodeRequestHeader(x.data(), x.size()).has_value();
  };
  EXPECT_FALSE(with(0, 3));     // unknown direction
  EXPECT_FALSE(with(1, 12));    // not a 16-byte command
  EXPECT_FALSE(with(7, 0xFF));  // gigabytes of data announced
  EXPECT_FALSE(with(0, 0));     // no data phase, yet data announced
  EXPECT_TRUE(with(2, 0x55));   // reserved bytes are ignored

  WireReplyBytes r = EncodeReplyHeader({2, 50});
  EXPECT_EQ(r[0], 2);
  EXPECT_EQ(r[4], 50);
  EXPECT_TRUE(DecodeReplyHeader(r.data(), r.size(), DataDirection::kFromDevice, 50));
  EXPECT_FALSE(DecodeReplyHeader(r.data(), r.size(), DataDirection::kFromDevice, 49));
  EXPECT_FALSE(DecodeReplyHeader(r.data(), r.size(), DataDirection::kToDevice, 100));
  EXPECT_FALSE(DecodeReplyHeader(r.data(), 7, DataDirection::kFromDevice, 50));
}

TEST(SimWire, RequestsAndRepliesTravelWholeOrFailPlainly) {
  SocketPair s;
  std::vector<uint8_t> block(65024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  WireRequestHeader h;
  h.direction = DataDirection::kToDevice;
  h.dataLength = static_cast<uint32_t>(block.size());
  // Larger than a socket buffer: the handset reads while the station writes.
  WireRequest got;
  std::thread handset([&] {
    EXPECT_EQ(ReadWireRequest(s.b, got, 5000), WireIo::kOk);
    const uint8_t state[4] = {2, 0, 0, 0};
    SendWireReply(s.b, 0, state, 4, 5000);
  });
  EXPECT_EQ(SendWireRequest(s.a, h, block.data(), 5000), WireIo::kOk);
  WireRequestHeader q;
  q.direction = DataDirection::kFromDevice;
  q.dataLength = 4;
  uint8_t buf[4] = {};
  WireReplyHeader reply;
  EXPECT_EQ(ReadWireReply(s.a, q, buf, reply, 5000), WireIo::kOk);
  handset.join();
  EXPECT_EQ(got.data, block);
  EXPECT_EQ(buf[0], 2);

  EXPECT_EQ(ReadWireReply(s.a, q, buf, reply, 0), WireIo::kTimeout);  // nothing came
  const uint8_t big[2] = {9, 9};

  // A peer that closes mid-reply is a closed connection, not a hang, and
  // writing to it raises no SIGPIPE.
  SocketPair t;
  WireReplyBytes head = EncodeReplyHeader({0, 4});
  ASSERT_EQ(WriteAll(t.b, head.data(), head.size(), 1000), WireIo::kOk);
  ASSERT_EQ(WriteAll(t.b, big, 2, 1000), WireIo::kOk);
  ::close(t.b);
  t.b = -1;
  EXPECT_EQ(ReadWireReply(t.a, q, buf, reply, 1000), WireIo::kClosed);
  EXPECT_EQ(SendWireRequest(t.a, WireRequestHeader{}, nullptr, 1000), WireIo::kClosed);
}

TEST(SimWire, SerialsPathsAndTimeouts) {
  EXPECT_TRUE(IsValidSimSerial("SIM-0001_a.b"));
  for (const char* bad : {"", ".hidden", "..", "a/b", "a b", "ü"}) EXPECT_FALSE(IsValidSimSerial(bad));
  EXPECT_FALSE(IsValidSimSerial(std::string(kMaxSimSerialLength + 1, 'a')));
  EXPECT_EQ(SimSerialFromIdFileName(BaseName(SimIdPath("/run/sim/", "AB12"))), "AB12");
  EXPECT_FALSE(SimSerialFromIdFileName("..id"));
  EXPECT_EQ(SimSerialFromSocketPath(SimSocketPath("/x", "AB12")), "AB12");
  EXPECT_FALSE(SimSerialFromSocketPath("/x/AB12.sockx"));
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.5), 4000);
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.001), kSimMinRealTimeoutMs);
  EXPECT_EQ(ConnectUnixSocket("/nonexistent-flashery/x.sock"), -ENOENT);
  EXPECT_EQ(ConnectUnixSocket(std::string(200, 'a')), -ENAMETOOLONG);
}

}  // namespace
}  // namespace flashery
