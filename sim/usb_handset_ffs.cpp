#include "sim/usb_handset_ffs.h"

#include <fcntl.h>
#include <linux/usb/functionfs.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace flashery::sim {

namespace {

constexpr uint8_t kGetMaxLun = 0xFE;
constexpr uint8_t kBulkOnlyReset = 0xFF;
// One AIO request moves at most this much; longer phases are split.
constexpr size_t kChunkBytes = 64 * 1024;
// How long a cancelled transfer may take to report its end.
constexpr long kReapMs = 3000;

void Put16(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

void Patch32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

void InterfaceAndEndpoints(std::vector<uint8_t>& b, uint16_t packet) {
  // Interface 0, no alternate setting, two endpoints, mass storage / SCSI
  // transparent / bulk-only, named by string 1.
  b.insert(b.end(), {9, USB_DT_INTERFACE, 0, 0, 2, 0x08, 0x06, 0x50, 1});
  for (uint8_t address : {uint8_t(1 | USB_DIR_IN), uint8_t(2 | USB_DIR_OUT)}) {
    b.insert(b.end(), {7, USB_DT_ENDPOINT, address, USB_ENDPOINT_XFER_BULK});
    Put16(b, packet);
    b.push_back(0);
  }
}

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

long IoSetup(unsigned n, aio_context_t* ctx) { return syscall(SYS_io_setup, n, ctx); }
long IoDestroy(aio_context_t ctx) { return syscall(SYS_io_destroy, ctx); }
long IoSubmit(aio_context_t ctx, long n, iocb** list) { return syscall(SYS_io_submit, ctx, n, list); }
long IoCancel(aio_context_t ctx, iocb* cb, io_event* ev) { return syscall(SYS_io_cancel, ctx, cb, ev); }
long IoGetEvents(aio_context_t ctx, long min, long max, io_event* ev, timespec* t) {
  return syscall(SYS_io_getevents, ctx, min, max, ev, t);
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

const char* EventName(uint8_t type) {
  switch (type) {
    case FUNCTIONFS_BIND: return "bind";
    case FUNCTIONFS_UNBIND: return "unbind";
    case FUNCTIONFS_ENABLE: return "enable";
    case FUNCTIONFS_DISABLE: return "disable";
    case FUNCTIONFS_SETUP: return "setup";
    case FUNCTIONFS_SUSPEND: return "suspend";
    case FUNCTIONFS_RESUME: return "resume";
    default: return "unknown";
  }
}

}  // namespace

const char* XferEndName(XferEnd end) {
  switch (end) {
    case XferEnd::kDone: return "done";
    case XferEnd::kTimeout: return "timed out";
    case XferEnd::kInterrupted: return "interrupted by the host";
    case XferEnd::kStopped: return "stopped";
    case XferEnd::kError: return "failed";
  }
  return "failed";
}

std::vector<uint8_t> FunctionDescriptors() {
  std::vector<uint8_t> b;
  Put32(b, FUNCTIONFS_DESCRIPTORS_MAGIC_V2);
  Put32(b, 0);  // length, patched below
  Put32(b, FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC);
  Put32(b, 3);  // full-speed descriptors
  Put32(b, 3);  // high-speed descriptors
  InterfaceAndEndpoints(b, 64);
  InterfaceAndEndpoints(b, kHighSpeedPacket);
  Patch32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}

std::vector<uint8_t> FunctionStrings(const std::string& interfaceName) {
  std::vector<uint8_t> b;
  Put32(b, FUNCTIONFS_STRINGS_MAGIC);
  Put32(b, 0);
  Put32(b, 1);  // strings per language
  Put32(b, 1);  // languages
  Put16(b, 0x0409);
  b.insert(b.end(), interfaceName.begin(), interfaceName.end());
  b.push_back(0);
  Patch32(b, 4, static_cast<uint32_t>(b.size()));
  return b;
}

bool FunctionFs::Open(const std::string& mountDir, const std::string& interfaceName,
                      std::string& error) {
  Close();
  auto fail = [&](const std::string& what) {
    error = what + ": " + std::strerror(errno);
    Close();
    return false;
  };
  ep0_ = ::open((mountDir + "/ep0").c_str(), O_RDWR | O_CLOEXEC);
  if (ep0_ < 0) return fail("cannot open " + mountDir + "/ep0");
  for (const auto& blob : {FunctionDescriptors(), FunctionStrings(interfaceName)}) {
    ssize_t n = ::write(ep0_, blob.data(), blob.size());
    if (n != static_cast<ssize_t>(blob.size()))
      return fail("the function refused its " + std::string(blob[0] == FUNCTIONFS_STRINGS_MAGIC ? "strings" : "descriptors"));
  }
  // Non-blocking: a transfer on an endpoint that is not enabled fails at
  // once instead of waiting in the kernel.
  in_ = ::open((mountDir + "/ep1").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (in_ < 0) return fail("cannot open " + mountDir + "/ep1");
  out_ = ::open((mountDir + "/ep2").c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
  if (out_ < 0) return fail("cannot open " + mountDir + "/ep2");
  eventFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (eventFd_ < 0) return fail("eventfd");
  if (IoSetup(4, &aio_) != 0) {
    aio_ = 0;
    return fail("io_setup");
  }
  return true;
}

void FunctionFs::Close() {
  if (aio_ != 0) IoDestroy(aio_);
  aio_ = 0;
  CloseFd(eventFd_);
  CloseFd(in_);
  CloseFd(out_);
  CloseFd(ep0_);
  enabled_ = false;
}

void FunctionFs::AnswerSetup(const uint8_t (&raw)[8]) {
  usb_ctrlrequest s;
  std::memcpy(&s, raw, sizeof s);
  uint16_t value = le16toh(s.wValue), length = le16toh(s.wLength);
  bool in = (s.bRequestType & USB_DIR_IN) != 0;
  bool classToInterface = (s.bRequestType & USB_TYPE_MASK) == USB_TYPE_CLASS &&
                          (s.bRequestType & USB_RECIP_MASK) == USB_RECIP_INTERFACE;
  uint8_t scratch[1] = {0};
  if (trace_)
    std::fprintf(stderr, "flashery-usb-handset: setup %02x %02x value %u length %u\n", s.bRequestType,
                 s.bRequest, value, length);
  if (classToInterface && s.bRequest == kGetMaxLun && in && value == 0 && length >= 1) {
    uint8_t maxLun = 0;
    if (::write(ep0_, &maxLun, 1) != 1 && trace_) std::perror("flashery-usb-handset: Get Max LUN");
    return;
  }
  if (classToInterface && s.bRequest == kBulkOnlyReset && !in && value == 0 && length == 0) {
    [[maybe_unused]] ssize_t n = ::read(ep0_, scratch, 0);
    ++generation_;
    if (trace_) std::fprintf(stderr, "flashery-usb-handset: bulk-only reset\n");
    return;
  }
  // A transfer against the request's direction stalls it.
  [[maybe_unused]] ssize_t n = in ? ::read(ep0_, scratch, 0) : ::write(ep0_, scratch, 0);
}

void FunctionFs::ServiceEp0() {
  usb_functionfs_event events[4];
  ssize_t n = ::read(ep0_, events, sizeof events);
  if (n < 0) return;
  for (ssize_t i = 0; i < n / static_cast<ssize_t>(sizeof events[0]); ++i) {
    const usb_functionfs_event& e = events[i];
    if (trace_ && e.type != FUNCTIONFS_SETUP)
      std::fprintf(stderr, "flashery-usb-handset: %s\n", EventName(e.type));
    switch (e.type) {
      case FUNCTIONFS_ENABLE:
        enabled_ = true;
        ++generation_;
        break;
      case FUNCTIONFS_DISABLE:
      case FUNCTIONFS_UNBIND:
        enabled_ = false;
        ++generation_;
        break;
      case FUNCTIONFS_SETUP: {
        uint8_t raw[8];
        std::memcpy(raw, &e.u.setup, sizeof raw);
        AnswerSetup(raw);
        break;
      }
      default:
        break;
    }
  }
}

bool FunctionFs::Reap(io_event& event, long timeoutMs) {
  timespec t{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
  for (;;) {
    long n = IoGetEvents(aio_, 1, 1, &event, &t);
    if (n == 1) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

XferResult FunctionFs::Abandon(iocb& cb, XferEnd why) {
  io_event event{};
  IoCancel(aio_, &cb, &event);
  if (!Reap(event, kReapMs)) {
    // The kernel still owns the caller's buffer: carrying on could corrupt
    // memory, so the responder ends here.
    std::fprintf(stderr, "flashery-usb-handset: a cancelled endpoint transfer did not end; giving up\n");
    std::_Exit(3);
  }
  uint64_t count;
  [[maybe_unused]] ssize_t r = ::read(eventFd_, &count, sizeof count);
  // A transfer that completed before the cancel still counts, unless the
  // host has moved on to another command.
  if (event.res > 0 && why == XferEnd::kTimeout) return {XferEnd::kDone, static_cast<size_t>(event.res), 0};
  return {why, 0, 0};
}

XferResult FunctionFs::Transfer(int fd, bool read, uint8_t* buffer, size_t length, int timeoutMs) {
  if (!enabled_) return {XferEnd::kInterrupted, 0, 0};
  uint64_t generation = generation_;
  iocb cb{};
  cb.aio_fildes = static_cast<uint32_t>(fd);
  cb.aio_lio_opcode = read ? IOCB_CMD_PREAD : IOCB_CMD_PWRITE;
  cb.aio_buf = reinterpret_cast<uint64_t>(buffer);
  cb.aio_nbytes = length;
  cb.aio_flags = IOCB_FLAG_RESFD;
  cb.aio_resfd = static_cast<uint32_t>(eventFd_);
  iocb* list[1] = {&cb};
  if (IoSubmit(aio_, 1, list) != 1) return {XferEnd::kError, 0, errno};
  int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
  for (;;) {
    io_event event{};
    if (Reap(event, 0)) {
      uint64_t count;
      [[maybe_unused]] ssize_t r = ::read(eventFd_, &count, sizeof count);
      if (event.res >= 0) return {XferEnd::kDone, static_cast<size_t>(event.res), 0};
      int error = static_cast<int>(-event.res);
      // The endpoint went away under the transfer (disable, unbind).
      if (error == ESHUTDOWN || error == ECONNRESET || error == EAGAIN || error == ENODEV)
        return {XferEnd::kInterrupted, 0, error};
      return {XferEnd::kError, 0, error};
    }
    int wait = -1;
    if (deadline >= 0) {
      int64_t left = deadline - NowMs();
      if (left <= 0) return Abandon(cb, XferEnd::kTimeout);
      wait = static_cast<int>(std::min<int64_t>(left, 1000));
    }
    pollfd p[3] = {{eventFd_, POLLIN, 0}, {ep0_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    int n = ::poll(p, stopFd_ >= 0 ? 3 : 2, wait);
    if (n < 0 && errno != EINTR) return Abandon(cb, XferEnd::kError);
    if (n <= 0) continue;
    if (p[2].revents != 0) return Abandon(cb, XferEnd::kStopped);
    if (p[1].revents & POLLIN) {
      ServiceEp0();
      if (generation_ != generation) return Abandon(cb, XferEnd::kInterrupted);
    }
  }
}

XferResult FunctionFs::FromHost(uint8_t* buffer, size_t length, int timeoutMs) {
  // Whole packets only (the caller's buffer is sized for that), so a short
  // packet from the host ends the read and nothing is dropped.
  XferResult total{XferEnd::kDone, 0, 0};
  while (total.bytes < length) {
    size_t chunk = std::min(length - total.bytes, kChunkBytes);
    size_t asked = (chunk + kHighSpeedPacket - 1) / kHighSpeedPacket * kHighSpeedPacket;
    XferResult r = Transfer(out_, true, buffer + total.bytes, asked, timeoutMs);
    if (r.end != XferEnd::kDone) return {r.end, total.bytes, r.error};
    total.bytes += r.bytes;
    if (r.bytes < asked) break;  // short packet: the host's data phase ended
  }
  return total;
}

XferResult FunctionFs::ToHost(const uint8_t* buffer, size_t length, int timeoutMs) {
  XferResult total{XferEnd::kDone, 0, 0};
  do {
    size_t chunk = std::min(length - total.bytes, kChunkBytes);
    XferResult r = Transfer(in_, false, const_cast<uint8_t*>(buffer) + total.bytes, chunk, timeoutMs);
    if (r.end != XferEnd::kDone) return {r.end, total.bytes, r.error};
    total.bytes += r.bytes;
    if (r.bytes < chunk) return {XferEnd::kError, total.bytes, EIO};
  } while (total.bytes < length);
  return total;
}

XferEnd FunctionFs::Wait(int ms, bool wholeTime) {
  uint64_t generation = generation_;
  int64_t deadline = NowMs() + ms;
  for (;;) {
    int64_t left = deadline - NowMs();
    if (left <= 0) return XferEnd::kDone;
    pollfd p[2] = {{ep0_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
    int n = ::poll(p, stopFd_ >= 0 ? 2 : 1, static_cast<int>(std::min<int64_t>(left, 1000)));
    if (n < 0 && errno != EINTR) return XferEnd::kError;
    if (n <= 0) continue;
    if (stopFd_ >= 0 && p[1].revents != 0) return XferEnd::kStopped;
    if (p[0].revents & POLLIN) {
      ServiceEp0();
      if (!wholeTime && generation_ != generation) return XferEnd::kInterrupted;
    }
  }
}

XferEnd FunctionFs::WaitEnabled(int timeoutMs) {
  int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
  while (!enabled_) {
    int slice = 1000;
    if (deadline >= 0) {
      int64_t left = deadline - NowMs();
      if (left <= 0) return XferEnd::kTimeout;
      slice = static_cast<int>(std::min<int64_t>(left, slice));
    }
    XferEnd e = Wait(slice);
    if (e == XferEnd::kStopped || e == XferEnd::kError) return e;
  }
  return XferEnd::kDone;
}

void FunctionFs::HaltBulk() {
  // A read on the IN endpoint and a write on the OUT endpoint halt them.
  uint8_t scratch[1] = {0};
  [[maybe_unused]] ssize_t a = ::read(in_, scratch, sizeof scratch);
  [[maybe_unused]] ssize_t b = ::write(out_, scratch, sizeof scratch);
}

}  // namespace flashery::sim
