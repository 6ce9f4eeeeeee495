// libFuzzer target: the station's side of the simulator wire. A listening
// socket plays the handset: for every input the transport connects to it,
// the peer's end is loaded with the input's bytes as the replies and then
// shut for writing, so every read ends at once - with data or with the end
// of the connection - and no run waits for a time-out. The transport then
// sends a few commands whose direction and length the input's first bytes
// choose, as a port job does.
//
// Checked besides memory safety (the data buffers are exactly as long as
// asked, so a reply that writes past one is caught):
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

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "device/sim_transport.h"
#include "device/sim_wire.h"
#include "platform/files.h"

namespace {

using namespace flashery;

void Require(bool ok) {
  if (!ok) std::abort();
}

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (64u << 10)) return 0;
  const Handset& handset = TheHandset();
  // Commands: the first byte's low bits give how many (1..4); each takes
  // one byte (direction, length) from the front. The rest is the peer's.
  const size_t commands = 1 + (data[0] & 3);
  if (size < 1 + commands) return 0;
  const uint8_t* plan = data + 1;
  const uint8_t* replies = data + 1 + commands;
  const size_t replyBytes = size - 1 - commands;

  SimSocketTransport transport(1.0, 2000);
  if (!transport.Open(handset.socketPath).ok) std::abort();
  int peer = ::accept4(handset.listener, nullptr, nullptr, SOCK_CLOEXEC);
  if (peer < 0) std::abort();
  int sendBuffer = 1 << 20;
  ::setsockopt(peer, SOL_SOCKET, SO_SNDBUF, &sendBuffer, sizeof sendBuffer);
  size_t done = 0;
  while (done < replyBytes) {
    ssize_t n = ::send(peer, replies + done, replyBytes - done, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::shutdown(peer, SHUT_WR);

  bool closed = false;
  for (size_t i = 0; i < commands; ++i) {
    const DataDirection direction = static_cast<DataDirection>(plan[i] % 3);
    const uint32_t length = direction == DataDirection::kNone ? 0 : kLengths[(plan[i] / 3) % 6];
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
