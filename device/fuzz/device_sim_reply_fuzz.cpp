// libFuzzer target: the station's side of the simulator wire.
//
// First the pure part: every reply header the input holds is classified
// for a request and a list of owed tags the input chooses.
//
// Then the transport itself: a listening socket plays the handset. For
// every input the transport connects to it and sends a few commands whose
// direction and length the input chooses, as a port job does; the reply
// wait is one real millisecond. Either the handset's end of the socket is
// loaded with all the replies and shut for writing at once (every read
// then ends at once, with data or with the end of the connection), or it
// stays open and is loaded before each command with that command's piece
// of the input, so commands time out, their tags are owed and their late
// replies come before later answers. Everything a command may read is in
// the socket before it is sent, so the runs are repeatable.
//
// Checked besides memory safety (the data buffers are exactly as long as
// asked, so a reply that writes past one is caught):
//  - an answer carries the request's tag (or none, when nothing is owed)
//    and no more data than the request allows; a late reply is owed, with
//    a bounded length; short bytes are never taken;
//  - a good reply has status 0, a bad-status reply a non-zero one, and a
//    failure gives an error number;
//  - a command from the handset never moves more than was asked, and the
//    bytes it did not move keep their earlier contents; a command without
//    data or towards the handset reports exactly its length;
//  - once a failure has closed the connection, the next command fails
//    without touching the socket.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/sim_transport.h"
#include "device/sim_wire.h"
#include "platform/files.h"
#include "platform/fuzz/fuzz_support.h"

namespace {

using namespace flashery;

using fuzz::Require;

struct Handset {
  std::string folder, socketPath;
  int listener = -1;
};

const Handset& TheHandset() {
  static const Handset handset = [] {
    Handset h;
    std::string pattern = "/tmp/wirefuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    h.folder = pattern;
    h.socketPath = h.folder + "/FUZZ0001.sock";
    h.listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, h.socketPath.c_str(), h.socketPath.size());
    if (h.listener < 0 || ::bind(h.listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(h.listener, 4) != 0)
      std::abort();
    std::atexit([] { RemoveTree(TheHandset().folder); });
    return h;
  }();
  return handset;
}

constexpr uint32_t kLengths[] = {0, 1, 8, 64, 512, 4096};

// A request: direction from the plan byte, length from kLengths.
WireRequestHeader RequestOf(uint8_t plan, uint16_t tag) {
  WireRequestHeader request;
  request.direction = static_cast<DataDirection>(plan % 3);
  request.dataLength = request.direction == DataDirection::kNone ? 0 : kLengths[(plan / 3) % 6];
  request.tag = tag;
  return request;
}

void ClassifyEvery(const uint8_t* bytes, size_t size, uint8_t mode, uint8_t plan) {
  const WireRequestHeader request = RequestOf(plan, static_cast<uint16_t>(1 + (mode >> 4)));
  const uint16_t owed[3] = {static_cast<uint16_t>(request.tag + 1), static_cast<uint16_t>(request.tag + 2),
                            static_cast<uint16_t>(request.tag + 3)};
  const size_t owedCount = (mode >> 2) & 3;
  const uint32_t allowed = request.direction == DataDirection::kFromDevice ? request.dataLength : 0;
  for (size_t at = 0; at < size && at < 64; ++at) {
    ReplyVerdict v = ClassifyReplyHeader(bytes + at, size - at, request, owed, owedCount);
    switch (v.kind) {
      case ReplyKind::kAnswer:
        Require(size - at >= kWireReplyHeaderSize && v.header.returnedLength <= allowed);
        Require(v.header.tag == request.tag || (v.header.tag == 0 && owedCount == 0));
        break;
      case ReplyKind::kStale:
        Require(size - at >= kWireReplyHeaderSize && v.header.returnedLength <= kWireMaxDataLength);
        Require(v.header.tag != 0 && std::find(owed, owed + owedCount, v.header.tag) != owed + owedCount);
        break;
      case ReplyKind::kBad:
        break;
    }
  }
}

// Sends `size` bytes (as many as the socket takes) without waiting.
void Load(int fd, const uint8_t* bytes, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::send(fd, bytes + done, size - done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

// Input: a mode byte (low two bits: commands - 1; bit 2: keep the
// handset's end open; the rest picks the pure check's tags), a plan byte
// per command (direction = b % 3, length = kLengths[b / 3 % 6]), a
// little-endian u16 per command (the length of its piece), then the
// pieces; bytes left over go with the last command's piece.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (64u << 10)) return 0;
  const Handset& handset = TheHandset();
  const uint8_t mode = data[0];
  const size_t commands = 1 + (mode & 3);
  const bool keepOpen = (mode & 4) != 0;
  if (size < 1 + 3 * commands) return 0;
  const uint8_t* plan = data + 1;
  const uint8_t* lengths = data + 1 + commands;
  const uint8_t* replies = data + 1 + 3 * commands;
  const size_t replyBytes = size - 1 - 3 * commands;
  ClassifyEvery(replies, replyBytes, mode, plan[0]);

  SimSocketTransport transport(1e-6, 1);
  if (!transport.Open(handset.socketPath).ok) std::abort();
  int peer = ::accept4(handset.listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (peer < 0) std::abort();
  int sendBuffer = 1 << 20;
  ::setsockopt(peer, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);

  size_t used = 0;
  if (!keepOpen) {
    Load(peer, replies, replyBytes);
    used = replyBytes;
    ::shutdown(peer, SHUT_WR);
  }
  bool closed = false;
  for (size_t i = 0; i < commands; ++i) {
    size_t piece = static_cast<size_t>(lengths[2 * i]) | static_cast<size_t>(lengths[2 * i + 1]) << 8;
    if (i + 1 == commands || piece > replyBytes - used) piece = replyBytes - used;
    Load(peer, replies + used, piece);
    used += piece;

    const WireRequestHeader request = RequestOf(plan[i], 0);
    const DataDirection direction = request.direction;
    const uint32_t length = request.dataLength;
    std::array<uint8_t, kCdbLength> cdb{};
    cdb[0] = 0xFE;
    cdb[1] = static_cast<uint8_t>(i);
    // Exactly `length` bytes on the heap, so an overrun is caught.
    std::vector<uint8_t> buffer(length, 0xA5);
    uint8_t* bytes = length ? buffer.data() : nullptr;
    SendResult r = transport.Send(cdb, direction, bytes, length, 8000);
    if (closed) Require(r.status == SendStatus::kFailure && r.errorCode == ENOTCONN);
    switch (r.status) {
      case SendStatus::kGood:
        Require(r.scsiStatus == 0);
        break;
      case SendStatus::kBadStatus:
        Require(r.scsiStatus != 0 && r.errorCode != 0);
        break;
      case SendStatus::kFailure:
        Require(r.errorCode != 0);
        break;
    }
    if (r.status != SendStatus::kFailure) {
      if (direction == DataDirection::kFromDevice) {
        Require(r.transferred <= length);
        for (uint32_t k = r.transferred; k < length; ++k) Require(buffer[k] == 0xA5);
      } else {
        Require(r.transferred == length);
        for (uint8_t b : buffer) Require(b == 0xA5);
      }
    }
    closed = !transport.IsOpen();
  }
  transport.Close();
  ::close(peer);
  return 0;
}
