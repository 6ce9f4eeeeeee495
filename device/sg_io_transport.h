// SgIoTransport: the Transport over the Linux SCSI generic driver. A handset
// in download mode is a USB mass-storage disk; its SCSI generic node
// (/dev/sgN) takes the vendor commands.
//
// Open: the node is opened read-write, exclusively (O_EXCL: a second opener
// of the same node is refused with EBUSY rather than kept waiting) and
// non-blocking (so a read finds a reply or EAGAIN, never waits).
// OpenHandset then confirms that the node still belongs to the handset the
// port's record names: the opened descriptor's device number leads through
// SYSFS/dev/char/MAJ:MIN to the USB device and its serial (sysfs_node.h),
// and a node that another handset has taken over, or that sysfs no longer
// ties to a handset, is closed and refused (ESTALE, ENODEV).
//
// One command is submitted exactly once. ioctl(SG_IO) is not used: it
// submits and waits in one call, and when a signal interrupts the wait the
// kernel may restart the whole call (SA_RESTART, a stop and continue, a
// debugger attaching) and so queue the command a second time while the
// first still runs on the handset; a WriteBlock carries no offset, so the
// handset would store the block twice. Instead the sg_io_hdr is handed to
// the driver with one write() (Submit), and the reply is collected with
// poll() and read() (Poll, Receive). Only the collection is repeated after
// an interruption; a Submit that fails, EINTR included, queued nothing and
// ends the command as a failure with that errno (callers own retries).
//
// Each command carries a new non-zero pack_id. A reply whose pack_id is
// not the current command's belongs to a command given up earlier and is
// read and dropped. The wait for the reply is bounded: the driver's own
// time-out (8 s for every vendor command) plus kReplyMarginMs for the
// kernel's error handling (abort, device reset). A command with no reply by
// then fails with ETIMEDOUT and stays outstanding (so does one whose
// collection failed otherwise): its late reply is dropped by a later
// command's collection, never taken for that one's.
//
// Buffers: the driver reads a to-device block from the caller's buffer
// while Submit runs (flags 0: the driver copies, no direct I/O), so the
// block is never touched afterwards. A from-device reply and the sense
// bytes are written by the driver when the reply is read, to the addresses
// given at submission; they therefore go to buffers the transport owns and
// keeps until that reply is read or the node is closed (after a close the
// driver writes nothing back), and the transferred bytes are then copied to
// the caller. A late reply can thus never land in a caller's buffer that has
// been reused. The replies of the command set are at most 1,024 bytes.
//
// Send builds one sg_io_hdr: interface 'S', the caller's 16 command bytes,
// a 24-byte sense area, the time-out the caller gives, the data buffer as
// above. A command without data, and one sent "with the data-in direction
// and length 0", goes as SG_DXFER_NONE with no buffer: a zero-length data
// phase carries no direction on the wire. The target and LUN are those of
// the node.
//
// The reply is good only when it was collected, host_status and
// driver_status are clean, the info field's ok mask says SG_INFO_OK and the
// raw SCSI status byte is 0. A non-zero status (check condition is the raw
// 0x02 -- glibc's CHECK_CONDITION macro is the old shifted value 0x01) is
// kBadStatus with the sense bytes kept; a host or driver error (a handset
// pulled out during a command ends it with DID_ERROR through usb-storage,
// and later commands on the old node fail with ENODEV) and a failed
// submission or collection are kFailure with an errno. A transfer towards
// the handset that the driver reports as not fully moved (resid > 0) is a
// failure too: a block the handset did not receive completely must not be
// counted as written. A data-in reply shorter than asked for is good;
// `transferred` tells how much arrived. A resid outside 0..length is
// refused as a malformed reply.
//
// The system calls go through SgIoCalls so tests can check every field of
// the request, feed replies and interrupt any step. Its clock is the real
// monotonic one: the driver's time-out runs in real time, whatever the
// station's time scale.
#pragma once

#include <fcntl.h>
#include <scsi/sg.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "device/transport.h"

namespace flashery {

class SgIoCalls {
 public:
  virtual ~SgIoCalls() = default;
  // A descriptor, or -errno.
  virtual int Open(const std::string& path, int flags) = 0;
  // One write(fd, &hdr, sizeof hdr), never repeated: 0 when the driver
  // queued the request, else the errno.
  virtual int Submit(int fd, const sg_io_hdr_t& hdr) = 0;
  // One poll for a reply, at most timeoutMs: 1 a reply is ready, 0 none in
  // that time, or -errno (-EINTR when interrupted; a node whose device went
  // away: -ENODEV).
  virtual int Poll(int fd, int timeoutMs) = 0;
  // One read(fd, &hdr, sizeof hdr) of a completed request into `hdr`: 0, or
  // the errno (EINTR, EAGAIN when none is ready).
  virtual int Receive(int fd, sg_io_hdr_t& hdr) = 0;
  // The device number of an open character device (fstat): 0, or the
  // errno (ENOTTY when the descriptor is not a character device).
  virtual int DeviceNumber(int fd, unsigned& major, unsigned& minor) = 0;
  // Monotonic real time in milliseconds.
  virtual uint64_t NowMs() = 0;
  virtual void Close(int fd) = 0;
};

// The real system calls.
SgIoCalls& SystemSgIoCalls();

constexpr int kSgOpenFlags = O_RDWR | O_NONBLOCK | O_EXCL | O_CLOEXEC;
constexpr uint8_t kScsiStatusGood = 0x00;
constexpr uint8_t kScsiStatusCheckCondition = 0x02;
// How long past the driver's time-out a reply is still waited for.
constexpr uint32_t kReplyMarginMs = 30000;
// Commands given up on one node at most (the driver's queue per open
// node); a node holding that many takes no more (EBUSY) until reopened.
constexpr size_t kMaxOutstanding = SG_MAX_QUEUE;

// The request Send hands to the driver; `sense` must hold kSenseLength bytes.
sg_io_hdr_t BuildSgIoHeader(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                            uint8_t* data, uint32_t length, uint32_t timeoutMs, uint8_t* sense);
// What a collected reply means (`collectError`: 0, or the errno that ended the
// command before a reply); `sense` is the request's sense area.
SendResult InterpretSgIoReply(const sg_io_hdr_t& hdr, int collectError, const uint8_t* sense);
// The errno that stands for a host adapter status.
int HostStatusErrno(uint16_t hostStatus);

class SgIoTransport final : public Transport {
 public:
  // `sysfsRoot` is where OpenHandset looks a node's owner up.
  explicit SgIoTransport(SgIoCalls& calls = SystemSgIoCalls(), std::string sysfsRoot = "/sys")
      : calls_(calls), sysfsRoot_(std::move(sysfsRoot)) {}
  ~SgIoTransport() override { Close(); }
  SgIoTransport(const SgIoTransport&) = delete;
  SgIoTransport& operator=(const SgIoTransport&) = delete;

  OpenResult Open(const std::string& devicePath) override;
  OpenResult OpenHandset(const std::string& devicePath, const std::string& instanceId) override;
  SendResult Send(const std::array<uint8_t, kCdbLength>& cdb, DataDirection direction,
                  uint8_t* data, uint32_t length, uint32_t timeoutMs = kCommandTimeoutMs) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }

  // Commands given up without a reply whose reply has not been dropped yet.
  size_t outstanding() const { return outstanding_.size(); }

 private:
  // What the driver may still write to for one submitted command.
  struct Request {
    int32_t packId = 0;
    std::array<uint8_t, kSenseLength> sense{};
    std::vector<uint8_t> dataIn;
  };

  int32_t NextPackId();
  // Waits for and reads replies until the one of `packId`; 0 with `reply`
  // filled, else the errno that ends the command.
  int Collect(int32_t packId, sg_io_hdr_t& reply, uint64_t deadlineMs);
  void Forget(int32_t packId);

  SgIoCalls& calls_;
  std::string sysfsRoot_;
  int fd_ = -1;
  int32_t lastPackId_ = 0;
  std::vector<std::unique_ptr<Request>> outstanding_;
};

}  // namespace flashery
