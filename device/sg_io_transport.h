// SgIoTransport: the Transport over the Linux SCSI generic driver. A handset
// in download mode is a USB mass-storage disk; its SCSI generic node
// (/dev/sgN) takes one command at a time with ioctl(SG_IO).
//
// Open: the node is opened read-write, exclusively (O_EXCL: a second opener
// of the same node is refused with EBUSY rather than kept waiting) and
// non-blocking (O_NONBLOCK only affects open; SG_IO itself always waits
// for the command to complete).
//
// Send builds one sg_io_hdr: interface 'S', the caller's 16 command bytes,
// a 24-byte sense area, the time-out the caller gives (8 s for every vendor
// command), and the caller's buffer as the data buffer (no copy in user
// space; flags 0 lets the driver choose how it moves the bytes). A command
// without data, and one sent "with the data-in direction and length 0",
// goes as SG_DXFER_NONE with no buffer: a zero-length data phase carries
// no direction on the wire. The target and LUN are those of the node.
//
// The reply is good only when the ioctl succeeded, host_status and
// driver_status are clean, the info field's ok mask says SG_INFO_OK and the
// raw SCSI status byte is 0. A non-zero status (check condition is the raw
// 0x02 -- glibc's CHECK_CONDITION macro is the old shifted value 0x01) is
// kBadStatus with the sense bytes kept; a host or driver error (a handset
// pulled out during a command ends it with DID_ERROR through usb-storage,
// and later commands on the old node fail with ENODEV) and a failed ioctl
// are kFailure with an errno. A transfer towards
// the handset that the driver reports as not fully moved (resid > 0) is a
// failure too: a block the handset did not receive completely must not be
// counted as written. A data-in reply shorter than asked for is good;
// `transferred` tells how much arrived. A resid outside 0..length is
// refused as a malformed reply.
//
// The system calls go through SgIoCalls so tests can check every field of
// the request and feed replies.
#pragma once

#include <fcntl.h>
#include <scsi/sg.h>

#include <cstdint>
#include <string>

#include "device/transport.h"

namespace flashery {

class SgIoCalls {
 public:
  virtual ~SgIoCalls() = default;
  // A descriptor, or -errno.
  virtual int Open(const std::string& path, int flags) = 0;
  // 0, or the errno of the failed ioctl(fd, SG_IO, &hdr).
  virtual int SgIo(int fd, sg_io_hdr_t& hdr) = 0;
  virtual void Close(int fd) = 0;
};

// The real system calls.
SgIoCalls& SystemSgIoCalls();

constexpr int kSgOpenFlags = O_RDWR | O_NONBLOCK | O_EXCL | O_CLOEXEC;
constexpr uint8_t kScsiStatusGood = 0x00;
constexpr uint8_t kScsiStatusCheckCondition = 0x02;

// The request Send hands to the driver; `sense` must hold kSenseLength bytes.
sg_io_hdr_t BuildSgIoHeader(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                            uint8_t* data, uint32_t length, uint32_t timeoutMs, uint8_t* sense);
// What a completed request (and the ioctl's errno, 0 when it succeeded)
// means; `sense` is the request's sense area.
SendResult InterpretSgIoReply(const sg_io_hdr_t& hdr, int ioctlError, const uint8_t* sense);
// The errno that stands for a host adapter status.
int HostStatusErrno(uint16_t hostStatus);

class SgIoTransport final : public Transport {
 public:
  explicit SgIoTransport(SgIoCalls& calls = SystemSgIoCalls()) : calls_(calls) {}
  ~SgIoTransport() override { Close(); }
  SgIoTransport(const SgIoTransport&) = delete;
  SgIoTransport& operator=(const SgIoTransport&) = delete;

  OpenResult Open(const std::string& devicePath) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                  uint8_t* data, uint32_t length, uint32_t timeoutMs = kCommandTimeoutMs) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }

 private:
  SgIoCalls& calls_;
  int fd_ = -1;
};

}  // namespace flashery
