#include "device/sg_io_transport.h"

#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>

#include "device/sysfs_node.h"

namespace flashery {

namespace {

// Host adapter statuses of the SCSI midlayer (DID_*).
constexpr uint16_t kDidOk = 0x00;
constexpr uint16_t kDidNoConnect = 0x01;
constexpr uint16_t kDidBusBusy = 0x02;
constexpr uint16_t kDidTimeOut = 0x03;
constexpr uint16_t kDidBadTarget = 0x04;
constexpr uint16_t kDidAbort = 0x05;
constexpr uint16_t kDidReset = 0x08;
// Driver status DRIVER_TIMEOUT (low nibble of driver_status).
constexpr uint16_t kDriverTimeout = 0x06;

class SystemCalls final : public SgIoCalls {
 public:
  int Open(const std::string& path, int flags) override {
    for (;;) {  // an open sends nothing to the handset
      int fd = ::open(path.c_str(), flags);
      if (fd >= 0) return fd;
      if (errno != EINTR) return -errno;
    }
  }
  int Submit(int fd, const sg_io_hdr_t& hdr) override {
    ssize_t n = ::write(fd, &hdr, sizeof hdr);
    if (n < 0) return errno;
    return static_cast<size_t>(n) == sizeof hdr ? 0 : EIO;
  }
  int Poll(int fd, int timeoutMs) override {
    pollfd p{fd, POLLIN, 0};
    int n = ::poll(&p, 1, timeoutMs);
    if (n < 0) return -errno;
    if (n == 0) return 0;
    if (p.revents & POLLIN) return 1;
    if (p.revents & POLLNVAL) return -EBADF;
    if (p.revents & POLLHUP) return -ENODEV;
    return -EIO;
  }
  int Receive(int fd, sg_io_hdr_t& hdr) override {
    ssize_t n = ::read(fd, &hdr, sizeof hdr);
    if (n < 0) return errno;
    return static_cast<size_t>(n) == sizeof hdr ? 0 : EPROTO;
  }
  int DeviceNumber(int fd, unsigned& major, unsigned& minor) override {
    struct stat st;
    if (::fstat(fd, &st) != 0) return errno;
    if (!S_ISCHR(st.st_mode)) return ENOTTY;
    major = ::major(st.st_rdev);
    minor = ::minor(st.st_rdev);
    return 0;
  }
  uint64_t NowMs() override {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<uint64_t>(t.tv_sec) * 1000u + static_cast<uint64_t>(t.tv_nsec) / 1000000u;
  }
  void Close(int fd) override { ::close(fd); }
};

}  // namespace

SgIoCalls& SystemSgIoCalls() {
  static SystemCalls calls;
  return calls;
}

int HostStatusErrno(uint16_t hostStatus) {
  switch (hostStatus) {
    case kDidOk:
      return 0;
    case kDidNoConnect:
    case kDidBadTarget:
      return ENODEV;
    case kDidBusBusy:
      return EBUSY;
    case kDidTimeOut:
      return ETIMEDOUT;
    case kDidAbort:
    case kDidReset:
      return ECANCELED;
    default:
      return EIO;
  }
}

sg_io_hdr_t BuildSgIoHeader(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                            uint8_t* data, uint32_t length, uint32_t timeoutMs, uint8_t* sense) {
  sg_io_hdr_t h;
  std::memset(&h, 0, sizeof h);
  h.interface_id = 'S';
  if (length == 0 || data == nullptr || direction == DataDirection::kNone) {
    h.dxfer_direction = SG_DXFER_NONE;
    h.dxfer_len = 0;
    h.dxferp = nullptr;
  } else {
    h.dxfer_direction =
        direction == DataDirection::kToDevice ? SG_DXFER_TO_DEV : SG_DXFER_FROM_DEV;
    h.dxfer_len = length;
    h.dxferp = data;
  }
  h.cmd_len = static_cast<unsigned char>(kCdbLength);
  // The driver only reads the command bytes.
  h.cmdp = const_cast<unsigned char*>(cdb.data());
  h.mx_sb_len = static_cast<unsigned char>(kSenseLength);
  h.sbp = sense;
  h.timeout = timeoutMs;
  h.flags = 0;
  return h;
}

SendResult InterpretSgIoReply(const sg_io_hdr_t& h, int collectError, const uint8_t* sense) {
  SendResult r;
  r.status = SendStatus::kFailure;
  if (collectError != 0) {
    r.errorCode = collectError;
    return r;
  }
  r.scsiStatus = h.status;
  r.hostStatus = h.host_status;
  r.driverStatus = h.driver_status;
  if (sense != nullptr && h.sb_len_wr > 0) {
    r.senseLength = h.sb_len_wr > kSenseLength ? kSenseLength : h.sb_len_wr;
    std::memcpy(r.sense.data(), sense, r.senseLength);
  }
  uint32_t length = h.dxfer_direction == SG_DXFER_NONE ? 0 : h.dxfer_len;
  if (h.resid < 0 || static_cast<uint32_t>(h.resid) > length) {
    r.errorCode = EPROTO;
    return r;
  }
  r.transferred = length - static_cast<uint32_t>(h.resid);
  if (h.host_status != kDidOk) {
    r.errorCode = HostStatusErrno(h.host_status);
    return r;
  }
  if (h.status != kScsiStatusGood) {
    r.status = SendStatus::kBadStatus;
    r.errorCode = EIO;
    return r;
  }
  if (h.driver_status != 0) {
    r.errorCode = (h.driver_status & 0x0F) == kDriverTimeout ? ETIMEDOUT : EIO;
    return r;
  }
  if ((h.info & SG_INFO_OK_MASK) != SG_INFO_OK) {
    r.errorCode = EIO;
    return r;
  }
  if (h.dxfer_direction == SG_DXFER_TO_DEV && r.transferred != length) {
    r.errorCode = EIO;
    return r;
  }
  r.status = SendStatus::kGood;
  return r;
}

OpenResult SgIoTransport::Open(const std::string& devicePath) {
  Close();
  int fd = calls_.Open(devicePath, kSgOpenFlags);
  if (fd < 0) return {false, -fd};
  fd_ = fd;
  return {true, 0};
}

OpenResult SgIoTransport::OpenHandset(const std::string& devicePath,
                                      const std::string& instanceId) {
  OpenResult r = Open(devicePath);
  if (!r.ok || instanceId.empty()) return r;
  unsigned major = 0, minor = 0;
  int err = calls_.DeviceNumber(fd_, major, minor);
  if (err == 0) {
    std::optional<std::string> owner = NodeInstanceId(sysfsRoot_, major, minor);
    if (!owner)
      err = ENODEV;
    else if (*owner != instanceId)
      err = ESTALE;
  }
  if (err == 0) return r;
  Close();
  return {false, err};
}

int32_t SgIoTransport::NextPackId() {
  lastPackId_ = lastPackId_ >= INT32_MAX ? 1 : lastPackId_ + 1;
  return lastPackId_;
}

void SgIoTransport::Forget(int32_t packId) {
  for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
    if ((*it)->packId == packId) {
      outstanding_.erase(it);
      return;
    }
  }
}

int SgIoTransport::Collect(int32_t packId, sg_io_hdr_t& reply, uint64_t deadlineMs) {
  for (;;) {
    uint64_t now = calls_.NowMs();
    if (now >= deadlineMs) return ETIMEDOUT;
    uint64_t left = deadlineMs - now;
    int ready = calls_.Poll(fd_, left > INT32_MAX ? INT32_MAX : static_cast<int>(left));
    if (ready == -EINTR) continue;
    if (ready < 0) return -ready;
    if (ready == 0) return ETIMEDOUT;
    std::memset(&reply, 0, sizeof reply);
    reply.interface_id = 'S';
    int err = calls_.Receive(fd_, reply);
    if (err == EINTR || err == EAGAIN) continue;
    if (err != 0) return err;
    if (reply.pack_id == packId) return 0;
    Forget(reply.pack_id);  // the late reply of a command given up earlier
  }
}

SendResult SgIoTransport::Send(const std::array<uint8_t, kCdbLength>& cdb,
                               DataDirection direction, uint8_t* data, uint32_t length,
                               uint32_t timeoutMs) {
  SendResult failed;
  if (fd_ < 0) {
    failed.errorCode = EBADF;
    return failed;
  }
  if (length > 0 && data == nullptr) {
    failed.errorCode = EINVAL;
    return failed;
  }
  if (outstanding_.size() >= kMaxOutstanding) {
    failed.errorCode = EBUSY;
    return failed;
  }
  auto request = std::make_unique<Request>();
  request->packId = NextPackId();
  uint8_t* buffer = data;
  bool dataIn = direction == DataDirection::kFromDevice && length > 0;
  if (dataIn) {
    request->dataIn.assign(length, 0);
    buffer = request->dataIn.data();
  }
  sg_io_hdr_t h =
      BuildSgIoHeader(cdb, direction, buffer, length, timeoutMs, request->sense.data());
  h.pack_id = request->packId;
  int err = calls_.Submit(fd_, h);
  if (err != 0) {
    failed.errorCode = err;
    return failed;
  }
  Request& mine = *request;
  outstanding_.push_back(std::move(request));
  uint64_t deadline = calls_.NowMs() + timeoutMs + kReplyMarginMs;
  sg_io_hdr_t reply;
  err = Collect(mine.packId, reply, deadline);
  if (err != 0) {
    // The driver may still hold the command: it stays outstanding, its
    // buffers kept, until its reply is dropped or the node is closed.
    failed.errorCode = err;
    return failed;
  }
  SendResult r = InterpretSgIoReply(reply, 0, mine.sense.data());
  if (dataIn && r.transferred > 0)
    std::memcpy(data, mine.dataIn.data(), r.transferred <= length ? r.transferred : length);
  Forget(mine.packId);
  return r;
}

void SgIoTransport::Close() {
  if (fd_ >= 0) calls_.Close(fd_);
  fd_ = -1;
  outstanding_.clear();  // after a close the driver writes nothing back
}

}  // namespace flashery
