#include "device/sim_wire.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/paths.h"

namespace flashery {

namespace {

void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

using Steady = std::chrono::steady_clock;

// Remaining budget in ms for poll: -1 without limit, 0 when spent.
int Remaining(int timeoutMs, Steady::time_point start) {
  if (timeoutMs < 0) return -1;
  auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(Steady::now() - start).count();
  if (spent >= timeoutMs) return 0;
  return static_cast<int>(timeoutMs - spent);
}

// Waits for `events` on fd. kOk when ready (or hung up: the next read or
// write tells what happened).
WireIo WaitFor(int fd, short events, int timeoutMs, Steady::time_point start) {
  for (;;) {
    int left = Remaining(timeoutMs, start);
    if (left == 0) {
      // A last look without waiting, so a zero budget still moves ready data.
      pollfd p{fd, events, 0};
      int r = ::poll(&p, 1, 0);
      if (r > 0) return WireIo::kOk;
      if (r < 0 && errno == EINTR) continue;
      if (r < 0) return WireIo::kError;
      return WireIo::kTimeout;
    }
    pollfd p{fd, events, 0};
    int r = ::poll(&p, 1, left);
    if (r > 0) {
      if (p.revents & POLLNVAL) {
        errno = EBADF;
        return WireIo::kError;
      }
      return WireIo::kOk;
    }
    if (r == 0) return WireIo::kTimeout;
    if (errno != EINTR) return WireIo::kError;
  }
}

bool IsClosedError(int e) { return e == EPIPE || e == ECONNRESET || e == ENOTCONN; }

// Reads exactly `size` bytes. A socket is read without waiting first (the
// bytes are usually there already) and waited on only when it has none. Any
// other descriptor is always waited on before a read, so that a blocking
// read can never outlast the budget.
WireIo ReadAllTimed(int fd, void* buffer, size_t size, int timeoutMs, Steady::time_point start) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  bool socketFd = true;
  bool wait = false;
  while (done < size) {
    if (wait) {
      WireIo w = WaitFor(fd, POLLIN, timeoutMs, start);
      if (w != WireIo::kOk) return w;
    }
    ssize_t n = socketFd ? ::recv(fd, out + done, size - done, MSG_DONTWAIT) : ::read(fd, out + done, size - done);
    if (n < 0 && errno == ENOTSOCK && socketFd) {
      socketFd = false;
      wait = true;
      continue;
    }
    if (n > 0) {
      done += static_cast<size_t>(n);
      wait = !socketFd;
      continue;
    }
    if (n == 0) return WireIo::kClosed;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      wait = true;
      continue;
    }
    if (errno == EINTR) continue;
    return IsClosedError(errno) ? WireIo::kClosed : WireIo::kError;
  }
  return WireIo::kOk;
}

// Waits for at least one byte and reads what is there, up to `size`, into
// *got: a socket in one recv as a rule.
WireIo ReadFirstTimed(int fd, uint8_t* buffer, size_t size, size_t* got, int timeoutMs, Steady::time_point start) {
  for (;;) {
    WireIo w = WaitFor(fd, POLLIN, timeoutMs, start);
    if (w != WireIo::kOk) return w;
    ssize_t n = ::recv(fd, buffer, size, MSG_DONTWAIT);
    if (n < 0 && errno == ENOTSOCK) n = ::read(fd, buffer, 1);  // readable: one byte cannot block
    if (n > 0) {
      *got = static_cast<size_t>(n);
      return WireIo::kOk;
    }
    if (n == 0) return WireIo::kClosed;
    if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
    return IsClosedError(errno) ? WireIo::kClosed : WireIo::kError;
  }
}

// Writes the pieces in order, all of them, with as few system calls as the
// socket allows (one, as a rule): tried at once, waited on only when the
// socket is full. Another kind of descriptor is written with writev after a
// wait for room.
WireIo WriteVecTimed(int fd, iovec* pieces, int count, int timeoutMs, Steady::time_point start) {
  bool socketFd = true;
  bool wait = false;
  while (count > 0) {
    if (pieces[0].iov_len == 0) {
      ++pieces;
      --count;
      continue;
    }
    if (wait) {
      WireIo w = WaitFor(fd, POLLOUT, timeoutMs, start);
      if (w != WireIo::kOk) return w;
    }
    ssize_t n;
    if (socketFd) {
      msghdr m{};
      m.msg_iov = pieces;
      m.msg_iovlen = static_cast<size_t>(count);
      n = ::sendmsg(fd, &m, MSG_NOSIGNAL | MSG_DONTWAIT);
    } else {
      n = ::writev(fd, pieces, count);
    }
    if (n < 0 && errno == ENOTSOCK && socketFd) {
      socketFd = false;
      wait = true;
      continue;
    }
    if (n >= 0) {
      // Step past what was written.
      auto left = static_cast<size_t>(n);
      while (count > 0 && left >= pieces[0].iov_len) {
        left -= pieces[0].iov_len;
        ++pieces;
        --count;
      }
      if (count > 0) {
        pieces[0].iov_base = static_cast<uint8_t*>(pieces[0].iov_base) + left;
        pieces[0].iov_len -= left;
      }
      wait = !socketFd;
      continue;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      wait = true;
      continue;
    }
    if (errno == EINTR) continue;
    return IsClosedError(errno) ? WireIo::kClosed : WireIo::kError;
  }
  return WireIo::kOk;
}

WireIo WriteAllTimed(int fd, const void* buffer, size_t size, int timeoutMs,
                     Steady::time_point start) {
  iovec piece{const_cast<void*>(buffer), size};
  return WriteVecTimed(fd, &piece, 1, timeoutMs, start);
}

}  // namespace

WireRequestBytes EncodeRequestHeader(const WireRequestHeader& h) {
  WireRequestBytes b{};
  b[0] = static_cast<uint8_t>(h.direction);
  b[1] = static_cast<uint8_t>(kCdbLength);
  PutU16(&b[2], h.tag);
  PutU32(&b[4], h.dataLength);
  PutU32(&b[8], h.timeoutMs);
  std::memcpy(&b[12], h.cdb.data(), kCdbLength);
  return b;
}

std::optional<WireRequestHeader> DecodeRequestHeader(const uint8_t* bytes, size_t size) {
  if (bytes == nullptr || size < kWireRequestHeaderSize) return std::nullopt;
  if (bytes[0] > static_cast<uint8_t>(DataDirection::kFromDevice)) return std::nullopt;
  if (bytes[1] != kCdbLength) return std::nullopt;
  WireRequestHeader h;
  h.direction = static_cast<DataDirection>(bytes[0]);
  h.tag = GetU16(&bytes[2]);
  h.dataLength = GetU32(&bytes[4]);
  h.timeoutMs = GetU32(&bytes[8]);
  std::memcpy(h.cdb.data(), &bytes[12], kCdbLength);
  if (h.dataLength > kWireMaxDataLength) return std::nullopt;
  if (h.direction == DataDirection::kNone && h.dataLength != 0) return std::nullopt;
  return h;
}

WireReplyBytes EncodeReplyHeader(const WireReplyHeader& h) {
  WireReplyBytes b{};
  b[0] = h.scsiStatus;
  PutU16(&b[2], h.tag);
  PutU32(&b[4], h.returnedLength);
  return b;
}

std::optional<WireReplyHeader> DecodeReplyHeader(const uint8_t* bytes, size_t size,
                                                 DataDirection direction,
                                                 uint32_t requestedLength) {
  if (bytes == nullptr || size < kWireReplyHeaderSize) return std::nullopt;
  WireReplyHeader h;
  h.scsiStatus = bytes[0];
  h.tag = GetU16(&bytes[2]);
  h.returnedLength = GetU32(&bytes[4]);
  uint32_t allowed = direction == DataDirection::kFromDevice ? requestedLength : 0;
  if (h.returnedLength > allowed) return std::nullopt;
  return h;
}

ReplyVerdict ClassifyReplyHeader(const uint8_t* bytes, size_t size, const WireRequestHeader& request,
                                 const uint16_t* owed, size_t owedCount) {
  ReplyVerdict v;
  if (bytes == nullptr || size < kWireReplyHeaderSize) return v;
  if (owed == nullptr) owedCount = 0;
  v.header.scsiStatus = bytes[0];
  v.header.tag = GetU16(&bytes[2]);
  v.header.returnedLength = GetU32(&bytes[4]);
  const uint16_t tag = v.header.tag;
  if (tag == 0 && owedCount > 0) return v;  // an untagged answer or a late one: no telling
  if (tag == request.tag || tag == 0) {
    if (DecodeReplyHeader(bytes, size, request.direction, request.dataLength)) v.kind = ReplyKind::kAnswer;
    return v;
  }
  for (size_t i = 0; i < owedCount; ++i) {
    if (owed[i] != tag) continue;
    if (v.header.returnedLength <= kWireMaxDataLength) v.kind = ReplyKind::kStale;
    return v;
  }
  return v;
}

WireIo ReadAll(int fd, void* buffer, size_t size, int timeoutMs) {
  return ReadAllTimed(fd, buffer, size, timeoutMs, Steady::now());
}

WireIo WriteAll(int fd, const void* buffer, size_t size, int timeoutMs) {
  return WriteAllTimed(fd, buffer, size, timeoutMs, Steady::now());
}

WireIo SendWireRequest(int fd, const WireRequestHeader& header, const uint8_t* data,
                       int timeoutMs) {
  if (header.dataLength > kWireMaxDataLength ||
      (header.direction == DataDirection::kNone && header.dataLength != 0) ||
      (header.direction == DataDirection::kToDevice && header.dataLength != 0 && data == nullptr)) {
    errno = EINVAL;
    return WireIo::kError;
  }
  auto start = Steady::now();
  WireRequestBytes bytes = EncodeRequestHeader(header);
  // Header and data leave in one write.
  const bool withData = header.direction == DataDirection::kToDevice && header.dataLength > 0;
  iovec pieces[2] = {{bytes.data(), bytes.size()},
                     {const_cast<uint8_t*>(data), withData ? header.dataLength : 0u}};
  return WriteVecTimed(fd, pieces, withData ? 2 : 1, timeoutMs, start);
}

WireIo ReadWireReply(int fd, const WireRequestHeader& request, uint8_t* buffer,
                     WireReplyHeader& reply, int timeoutMs, std::vector<uint16_t>* owed) {
  auto start = Steady::now();
  WireRequestHeader asked = request;
  if (buffer == nullptr) asked.dataLength = 0;
  // Past the first byte of a reply, running out of time leaves the stream
  // out of step: that is an error, not a plain time-out.
  auto midReply = [](WireIo w) {
    if (w == WireIo::kTimeout) {
      errno = ETIMEDOUT;
      return WireIo::kError;
    }
    return w;
  };
  for (;;) {
    // The reply is waited for; its first byte, once there, is read with the
    // rest of the header (recv stops at the header's end, never in a reply
    // that follows).
    WireReplyBytes bytes{};
    size_t got = 0;
    WireIo w = ReadFirstTimed(fd, bytes.data(), bytes.size(), &got, timeoutMs, start);
    if (w != WireIo::kOk) return w;
    w = ReadAllTimed(fd, bytes.data() + got, bytes.size() - got, timeoutMs, start);
    if (w != WireIo::kOk) return midReply(w);
    const uint16_t* owedTags = owed != nullptr ? owed->data() : nullptr;
    size_t owedCount = owed != nullptr ? owed->size() : 0;
    ReplyVerdict v = ClassifyReplyHeader(bytes.data(), bytes.size(), asked, owedTags, owedCount);
    if (v.kind == ReplyKind::kBad) {
      errno = EPROTO;
      return WireIo::kError;
    }
    if (v.kind == ReplyKind::kAnswer) {
      reply = v.header;
      if (reply.returnedLength == 0) return WireIo::kOk;
      return midReply(ReadAllTimed(fd, buffer, reply.returnedLength, timeoutMs, start));
    }
    // A late reply: read past its data, forget that it was owed.
    owed->erase(std::find(owed->begin(), owed->end(), v.header.tag));
    uint8_t scratch[4096];
    for (uint32_t left = v.header.returnedLength; left > 0;) {
      uint32_t take = left < sizeof scratch ? left : static_cast<uint32_t>(sizeof scratch);
      w = ReadAllTimed(fd, scratch, take, timeoutMs, start);
      if (w != WireIo::kOk) return midReply(w);
      left -= take;
    }
  }
}

WireIo ReadWireRequest(int fd, WireRequest& request, int timeoutMs) {
  auto start = Steady::now();
  WireRequestBytes bytes{};
  WireIo w = ReadAllTimed(fd, bytes.data(), bytes.size(), timeoutMs, start);
  if (w != WireIo::kOk) return w;
  auto decoded = DecodeRequestHeader(bytes.data(), bytes.size());
  if (!decoded) {
    errno = EPROTO;
    return WireIo::kError;
  }
  request.header = *decoded;
  const uint32_t length = decoded->direction == DataDirection::kToDevice ? decoded->dataLength : 0;
  // Blocks of one length follow each other: the buffer is then neither
  // allocated nor cleared again.
  if (request.data.size() != length) request.data.resize(length);
  if (length > 0) return ReadAllTimed(fd, request.data.data(), length, timeoutMs, start);
  return WireIo::kOk;
}

WireIo SendWireReply(int fd, uint16_t tag, uint8_t scsiStatus, const uint8_t* data, uint32_t length,
                     int timeoutMs) {
  if (length > kWireMaxDataLength || (length > 0 && data == nullptr)) {
    errno = EINVAL;
    return WireIo::kError;
  }
  auto start = Steady::now();
  WireReplyBytes bytes = EncodeReplyHeader({scsiStatus, tag, length});
  iovec pieces[2] = {{bytes.data(), bytes.size()}, {const_cast<uint8_t*>(data), length}};
  return WriteVecTimed(fd, pieces, length > 0 ? 2 : 1, timeoutMs, start);
}

int SimRealTimeoutMs(uint32_t stationTimeoutMs, double timeScale, int floorMs) {
  if (!(timeScale > 0)) timeScale = 1.0;
  double real = static_cast<double>(stationTimeoutMs) * timeScale;
  if (real > 24.0 * 3600 * 1000) real = 24.0 * 3600 * 1000;
  int ms = static_cast<int>(real + 0.5);
  return ms < floorMs ? floorMs : ms;
}

bool IsValidSimSerial(std::string_view serial) {
  if (serial.empty() || serial.size() > kMaxSimSerialLength || serial[0] == '.') return false;
  for (char c : serial) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '-' || c == '_' || c == '.';
    if (!ok) return false;
  }
  return true;
}

std::string SimSocketPath(const std::string& dir, std::string_view serial) {
  return JoinPath(dir, std::string(serial) + ".sock");
}

std::string SimIdPath(const std::string& dir, std::string_view serial) {
  return JoinPath(dir, std::string(serial) + ".id");
}

namespace {
std::optional<std::string> StripSuffix(std::string_view name, std::string_view suffix) {
  if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix)
    return std::nullopt;
  std::string serial(name.substr(0, name.size() - suffix.size()));
  if (!IsValidSimSerial(serial)) return std::nullopt;
  return serial;
}
}  // namespace

std::optional<std::string> SimSerialFromIdFileName(std::string_view fileName) {
  return StripSuffix(fileName, ".id");
}

std::optional<std::string> SimSerialFromSocketPath(std::string_view path) {
  size_t slash = path.rfind('/');
  return StripSuffix(slash == std::string_view::npos ? path : path.substr(slash + 1), ".sock");
}

int ConnectUnixSocket(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return -ENAMETOOLONG;
  if (path.find('\0') != std::string::npos) return -EINVAL;
  std::memcpy(addr.sun_path, path.data(), path.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -errno;
  for (;;) {
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0) return fd;
    if (errno == EINTR) continue;
    int e = errno;
    ::close(fd);
    return -e;
  }
}

}  // namespace flashery
