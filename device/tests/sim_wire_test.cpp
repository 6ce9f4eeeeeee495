#include "device/sim_wire.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace flashery {
namespace {

struct SocketPair {
  int a = -1, b = -1;
  SocketPair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    a = fds[0];
    b = fds[1];
  }
  ~SocketPair() {
    if (a >= 0) ::close(a);
    if (b >= 0) ::close(b);
  }
  void CloseB() {
    ::close(b);
    b = -1;
  }
};

TEST(SimWire, RequestHeaderBytesAreLittleEndianAndRoundTrip) {
  WireRequestHeader h;
  h.direction = DataDirection::kToDevice;
  h.dataLength = 0x0000FE00;
  h.timeoutMs = 8000;
  for (size_t i = 0; i < kCdbLength; ++i) h.cdb[i] = static_cast<uint8_t>(0xA0 + i);
  WireRequestBytes b = EncodeRequestHeader(h);
  const uint8_t expectHead[12] = {1, 16, 0, 0, 0x00, 0xFE, 0, 0, 0x40, 0x1F, 0, 0};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b[i], expectHead[i]) << i;
  EXPECT_EQ(b[12], 0xA0);
  EXPECT_EQ(b[27], 0xAF);
  auto d = DecodeRequestHeader(b.data(), b.size());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->direction, DataDirection::kToDevice);
  EXPECT_EQ(d->dataLength, 0xFE00u);
  EXPECT_EQ(d->timeoutMs, 8000u);
  EXPECT_EQ(d->cdb, h.cdb);
}

TEST(SimWire, HostileRequestHeadersAreRejected) {
  WireRequestHeader h;
  h.direction = DataDirection::kFromDevice;
  h.dataLength = 4;
  WireRequestBytes good = EncodeRequestHeader(h);
  EXPECT_TRUE(DecodeRequestHeader(good.data(), good.size()));
  EXPECT_FALSE(DecodeRequestHeader(good.data(), good.size() - 1));
  EXPECT_FALSE(DecodeRequestHeader(nullptr, 28));

  auto bad = good;
  bad[0] = 3;  // unknown direction
  EXPECT_FALSE(DecodeRequestHeader(bad.data(), bad.size()));
  bad = good;
  bad[1] = 12;  // not a 16-byte command
  EXPECT_FALSE(DecodeRequestHeader(bad.data(), bad.size()));
  bad = good;
  bad[4] = 0xFF, bad[5] = 0xFF, bad[6] = 0xFF, bad[7] = 0xFF;  // 4 GiB of data
  EXPECT_FALSE(DecodeRequestHeader(bad.data(), bad.size()));
  bad = good;
  bad[0] = 0;  // no data phase but 4 bytes announced
  EXPECT_FALSE(DecodeRequestHeader(bad.data(), bad.size()));
  bad = good;
  bad[2] = 0x55;  // reserved bytes are ignored
  EXPECT_TRUE(DecodeRequestHeader(bad.data(), bad.size()));
}

TEST(SimWire, ReplyLengthIsBoundedByTheRequest) {
  WireReplyBytes b = EncodeReplyHeader({2, 50});
  EXPECT_EQ(b[0], 2);
  EXPECT_EQ(b[4], 50);
  EXPECT_EQ(b[5], 0);
  auto ok = DecodeReplyHeader(b.data(), b.size(), DataDirection::kFromDevice, 50);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->scsiStatus, 2);
  EXPECT_EQ(ok->returnedLength, 50u);
  EXPECT_FALSE(DecodeReplyHeader(b.data(), b.size(), DataDirection::kFromDevice, 49));
  EXPECT_FALSE(DecodeReplyHeader(b.data(), b.size(), DataDirection::kToDevice, 100));
  EXPECT_FALSE(DecodeReplyHeader(b.data(), b.size(), DataDirection::kNone, 0));
  EXPECT_FALSE(DecodeReplyHeader(b.data(), 7, DataDirection::kFromDevice, 50));
}

TEST(SimWire, RequestAndReplyTravelOverASocket) {
  SocketPair s;
  std::vector<uint8_t> block(65024);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  WireRequestHeader h;
  h.direction = DataDirection::kToDevice;
  h.dataLength = static_cast<uint32_t>(block.size());
  h.cdb[0] = 0xFF;
  // The block is larger than a socket buffer: the handset side must read
  // while the station writes.
  WireRequest got;
  WireIo readResult = WireIo::kError;
  std::thread handset([&] {
    readResult = ReadWireRequest(s.b, got, 5000);
    SendWireReply(s.b, 0, nullptr, 0, 5000);
  });
  EXPECT_EQ(SendWireRequest(s.a, h, block.data(), 5000), WireIo::kOk);
  WireReplyHeader reply;
  EXPECT_EQ(ReadWireReply(s.a, h, nullptr, reply, 5000), WireIo::kOk);
  handset.join();
  EXPECT_EQ(readResult, WireIo::kOk);
  EXPECT_EQ(got.header.cdb[0], 0xFF);
  EXPECT_EQ(got.data, block);
  EXPECT_EQ(reply.scsiStatus, 0);

  // Data from the handset lands in the caller's buffer.
  const uint8_t state[4] = {2, 0, 0, 0};
  ASSERT_EQ(SendWireReply(s.b, 0, state, 4, 1000), WireIo::kOk);
  WireRequestHeader q;
  q.direction = DataDirection::kFromDevice;
  q.dataLength = 4;
  uint8_t buf[4] = {9, 9, 9, 9};
  EXPECT_EQ(ReadWireReply(s.a, q, buf, reply, 1000), WireIo::kOk);
  EXPECT_EQ(reply.returnedLength, 4u);
  EXPECT_EQ(buf[0], 2);
}

TEST(SimWire, TimeoutClosedPeerAndOversizedReplyAreFailures) {
  SocketPair s;
  WireRequestHeader q;
  q.direction = DataDirection::kFromDevice;
  q.dataLength = 4;
  uint8_t buf[4];
  WireReplyHeader reply;
  // Nothing arrives: the budget runs out.
  EXPECT_EQ(ReadWireReply(s.a, q, buf, reply, 0), WireIo::kTimeout);
  // A reply that returns more than was asked for is a protocol error and
  // leaves the buffer alone.
  const uint8_t big[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(SendWireReply(s.b, 0, big, 8, 1000), WireIo::kOk);
  errno = 0;
  EXPECT_EQ(ReadWireReply(s.a, q, buf, reply, 1000), WireIo::kError);
  EXPECT_EQ(errno, EPROTO);
  // A peer that closes mid-reply: closed, not a hang.
  SocketPair t;
  WireReplyBytes head = EncodeReplyHeader({0, 4});
  ASSERT_EQ(WriteAll(t.b, head.data(), head.size(), 1000), WireIo::kOk);
  ASSERT_EQ(WriteAll(t.b, big, 2, 1000), WireIo::kOk);
  t.CloseB();
  EXPECT_EQ(ReadWireReply(t.a, q, buf, reply, 1000), WireIo::kClosed);
  // Writing to a closed peer: closed, and no SIGPIPE ends the test.
  WireRequestHeader none;
  EXPECT_EQ(SendWireRequest(t.a, none, nullptr, 1000), WireIo::kClosed);
  // A handset reading from a closed station sees the normal end.
  WireRequest r;
  EXPECT_EQ(ReadWireRequest(t.a, r, 1000), WireIo::kClosed);
}

TEST(SimWire, SerialsAndPaths) {
  EXPECT_TRUE(IsValidSimSerial("0123456789abcdef"));
  EXPECT_TRUE(IsValidSimSerial("SIM-0001_a.b"));
  for (const char* bad : {"", ".hidden", "..", "a/b", "a b", "a\\b", "ü"})
    EXPECT_FALSE(IsValidSimSerial(bad)) << bad;
  EXPECT_FALSE(IsValidSimSerial(std::string(kMaxSimSerialLength + 1, 'a')));
  EXPECT_EQ(SimSocketPath("/run/sim", "AB12"), "/run/sim/AB12.sock");
  EXPECT_EQ(SimIdPath("/run/sim/", "AB12"), "/run/sim/AB12.id");
  EXPECT_EQ(SimSerialFromIdFileName("AB12.id"), "AB12");
  EXPECT_FALSE(SimSerialFromIdFileName(".id"));
  EXPECT_FALSE(SimSerialFromIdFileName("AB12.sock"));
  EXPECT_FALSE(SimSerialFromIdFileName("..id"));
  EXPECT_EQ(SimSerialFromSocketPath("/x/y/AB12.sock"), "AB12");
  EXPECT_FALSE(SimSerialFromSocketPath("/x/y/AB12.sockx"));
  EXPECT_EQ(SimRealTimeoutMs(8000, 1.0), 8000);
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.5), 4000);
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.001), kSimMinRealTimeoutMs);
  EXPECT_EQ(SimRealTimeoutMs(8000, 0), 8000);
  EXPECT_EQ(ConnectUnixSocket("/nonexistent-flashery-dir/x.sock"), -ENOENT);
  EXPECT_EQ(ConnectUnixSocket(std::string(200, 'a')), -ENAMETOOLONG);
}

}  // namespace
}  // namespace flashery
