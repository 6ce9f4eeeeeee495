#include "device/sg_io_transport.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

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
    for (;;) {
      int fd = ::open(path.c_str(), flags);
      if (fd >= 0) return fd;
      if (errno != EINTR) return -errno;
    }
  }
  int SgIo(int fd, sg_io_hdr_t& hdr) override {
    for (;;) {
      if (::ioctl(fd, SG_IO, &hdr) == 0) return 0;
      if (errno != EINTR) return errno;
    }
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

SendResult InterpretSgIoReply(const sg_io_hdr_t& h, int ioctlError, const uint8_t* sense) {
  SendResult r;
  r.status = SendStatus::kFailure;
  if (ioctlError != 0) {
    r.errorCode = ioctlError;
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

SendResult SgIoTransport::Send(const std::array<uint8_t, kCdbLength>& cdb,
                               DataDirection direction, uint8_t* data, uint32_t length,
                               uint32_t timeoutMs) {
  if (fd_ < 0) {
    SendResult r;
    r.errorCode = EBADF;
    return r;
  }
  if (length > 0 && data == nullptr) {
    SendResult r;
    r.errorCode = EINVAL;
    return r;
  }
  uint8_t sense[kSenseLength] = {};
  sg_io_hdr_t h = BuildSgIoHeader(cdb, direction, data, length, timeoutMs, sense);
  int err = calls_.SgIo(fd_, h);
  return InterpretSgIoReply(h, err, sense);
}

void SgIoTransport::Close() {
  if (fd_ >= 0) calls_.Close(fd_);
  fd_ = -1;
}

}  // namespace flashery
