#include "device/sim_wire.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>
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
  h.tag = 0x1234;
  h.dataLength = 0xFE00;
  h.timeoutMs = 8000;
  for (size_t i = 0; i < kCdbLength; ++i) h.cdb[i] = static_cast<uint8_t>(0xA0 + i);
  WireRequestBytes b = EncodeRequestHeader(h);
  const uint8_t head[12] = {1, 16, 0x34, 0x12, 0x00, 0xFE, 0, 0, 0x40, 0x1F, 0, 0};
  EXPECT_TRUE(std::equal(head, head + 12, b.begin()));
  EXPECT_EQ(b[12], 0xA0);
  EXPECT_EQ(b[27], 0xAF);
  auto d = DecodeRequestHeader(b.data(), b.size());
  ASSERT_TRUE(d);
  EXPECT_EQ(d->tag, 0x1234);
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

  WireReplyHeader rh;
  rh.scsiStatus = 2;
  rh.tag = 0xBEEF;
  rh.returnedLength = 50;
  WireReplyBytes r = EncodeReplyHeader(rh);
  const uint8_t reply[8] = {2, 0, 0xEF, 0xBE, 50, 0, 0, 0};
  EXPECT_TRUE(std::equal(reply, reply + 8, r.begin()));
  auto dr = DecodeReplyHeader(r.data(), r.size(), DataDirection::kFromDevice, 50);
  ASSERT_TRUE(dr);
  EXPECT_EQ(dr->tag, 0xBEEF);
  EXPECT_FALSE(DecodeReplyHeader(r.data(), r.size(), DataDirection::kFromDevice, 49));
  EXPECT_FALSE(DecodeReplyHeader(r.data(), r.size(), DataDirection::kToDevice, 100));
  EXPECT_FALSE(DecodeReplyHeader(r.data(), 7, DataDirection::kFromDevice, 50));
}

WireReplyBytes Reply(uint16_t tag, uint32_t length, uint8_t status = 0) {
  WireReplyHeader h;
  h.scsiStatus = status;
  h.tag = tag;
  h.returnedLength = length;
  return EncodeReplyHeader(h);
}

TEST(SimWire, RepliesAreTheAnswerStaleOrBad) {
  WireRequestHeader query;  // QueryState: 4 bytes from the handset, tag 7
  query.direction = DataDirection::kFromDevice;
  query.tag = 7;
  query.dataLength = 4;
  WireRequestHeader untagged = query;
  untagged.tag = 0;
  struct Row {
    const char* what;
    WireReplyBytes bytes;
    size_t size;
    const WireRequestHeader* request;
    std::vector<uint16_t> owed;
    ReplyKind kind;
  };
  const Row rows[] = {
      {"its own tag", Reply(7, 4), 8, &query, {5}, ReplyKind::kAnswer},
      {"its own tag, check condition", Reply(7, 0, 2), 8, &query, {}, ReplyKind::kAnswer},
      {"untagged peer, nothing owed", Reply(0, 4), 8, &query, {}, ReplyKind::kAnswer},
      {"untagged request and reply", Reply(0, 4), 8, &untagged, {}, ReplyKind::kAnswer},
      {"untagged while a late reply may come", Reply(0, 4), 8, &query, {5}, ReplyKind::kBad},
      {"late reply, longer than this request", Reply(5, 65024), 8, &query, {3, 5}, ReplyKind::kStale},
      {"late reply beyond any data phase", Reply(5, kWireMaxDataLength + 1), 8, &query, {5}, ReplyKind::kBad},
      {"a tag nobody waits for", Reply(9, 0), 8, &query, {5}, ReplyKind::kBad},
      {"answer longer than asked", Reply(7, 5), 8, &query, {}, ReplyKind::kBad},
      {"short header", Reply(7, 4), 7, &query, {}, ReplyKind::kBad},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    ReplyVerdict v = ClassifyReplyHeader(row.bytes.data(), row.size, *row.request, row.owed.data(),
                                         row.owed.size());
    EXPECT_EQ(v.kind, row.kind);
    if (v.kind != ReplyKind::kBad) {
      EXPECT_EQ(v.header.tag, row.bytes[2] | row.bytes[3] << 8);
    }
  }
  EXPECT_EQ(ClassifyReplyHeader(nullptr, 8, query, nullptr, 0).kind, ReplyKind::kBad);
}

TEST(SimWire, LateRepliesAreReadPastAndTheStreamStaysInStep) {
  WireRequestHeader query;
  query.direction = DataDirection::kFromDevice;
  query.tag = 7;
  query.dataLength = 4;
  auto bytes = [](std::initializer_list<WireReplyBytes> heads, std::vector<uint8_t> tail = {}) {
    std::vector<uint8_t> out;
    for (const auto& h : heads) {
      out.insert(out.end(), h.begin(), h.end());
      if (h[2] != 7 && h[4] == 4) out.insert(out.end(), {9, 9, 9, 9});  // late data, never seen
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
  };
  const uint8_t ready[4] = {2, 0, 0, 0};
  struct Row {
    const char* what;
    std::vector<uint8_t> stream;
    bool closeAfter;
    std::vector<uint16_t> owed;
    WireIo io;
    int error;  // errno for kError
    size_t owedAfter;
  };
  const Row rows[] = {
      {"answer", bytes({Reply(7, 4)}, {ready, ready + 4}), false, {}, WireIo::kOk, 0, 0},
      {"two late replies, then the answer",
       bytes({Reply(5, 4), Reply(6, 0, 2), Reply(7, 4)}, {ready, ready + 4}), false, {5, 6}, WireIo::kOk, 0, 0},
      {"a late reply only", bytes({Reply(5, 4)}), false, {5, 6}, WireIo::kTimeout, 0, 1},
      {"a wrong tag only", bytes({Reply(8, 0)}), false, {5}, WireIo::kError, EPROTO, 1},
      {"half a header", bytes({}, {0, 0, 7, 0}), false, {}, WireIo::kError, ETIMEDOUT, 0},
      {"late reply cut short", bytes({}, {0, 0, 5, 0, 0, 0, 1, 0, 1, 2}), false, {5}, WireIo::kError, ETIMEDOUT, 0},
      {"closed before an answer", {}, true, {}, WireIo::kClosed, 0, 0},
      {"closed in the answer's data", bytes({Reply(7, 4)}, {2, 0}), true, {}, WireIo::kClosed, 0, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SocketPair s;
    if (!row.stream.empty()) {
      ASSERT_EQ(WriteAll(s.b, row.stream.data(), row.stream.size(), 1000), WireIo::kOk);
    }
    if (row.closeAfter) {
      ::close(s.b);
      s.b = -1;
    }
    std::vector<uint16_t> owed = row.owed;
    uint8_t buf[4] = {};
    WireReplyHeader reply;
    errno = 0;
    WireIo io = ReadWireReply(s.a, query, buf, reply, 50, &owed);
    int error = errno;
    EXPECT_EQ(io, row.io);
    if (row.io == WireIo::kError) {
      EXPECT_EQ(error, row.error);
    }
    EXPECT_EQ(owed.size(), row.owedAfter);
    if (row.io == WireIo::kOk) {
      EXPECT_EQ(reply.tag, 7);
      EXPECT_EQ(buf[0], 2);
    }
  }
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
    SendWireReply(s.b, got.header.tag, 0, state, 4, 5000);
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
  WireReplyBytes head = Reply(0, 4);
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
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.05), 3000);  // the demo's scale meets the floor
  EXPECT_EQ(SimRealTimeoutMs(8000, 0.001), kSimMinRealTimeoutMs);
  EXPECT_EQ(ConnectUnixSocket("/nonexistent-flashery/x.sock"), -ENOENT);
  EXPECT_EQ(ConnectUnixSocket(std::string(200, 'a')), -ENAMETOOLONG);
}

}  // namespace
}  // namespace flashery
