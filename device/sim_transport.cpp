#include "device/sim_transport.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "device/sim_wire.h"
#include "platform/clock.h"

namespace flashery {

SimSocketTransport::SimSocketTransport(double timeScale, int minRealTimeoutMs)
    : scale_(timeScale > 0 ? timeScale : ParseTimeScale(std::getenv("FLASHERY_TIME_SCALE"))),
      minRealTimeoutMs_(minRealTimeoutMs) {}

OpenResult SimSocketTransport::Open(const std::string& devicePath) {
  Close();
  int fd = ConnectUnixSocket(devicePath);
  if (fd < 0) return {false, -fd};
  fd_ = fd;
  return {true, 0};
}

uint16_t SimSocketTransport::NextTag() {
  // Never 0 (untagged) and never a tag whose late reply may still come.
  do {
    ++lastTag_;
  } while (lastTag_ == 0 || std::find(owed_.begin(), owed_.end(), lastTag_) != owed_.end());
  return lastTag_;
}

SendResult SimSocketTransport::Send(const std::array<uint8_t, kCdbLength>& cdb,
                                    DataDirection direction, uint8_t* data, uint32_t length,
                                    uint32_t timeoutMs) {
  SendResult r;
  if (fd_ < 0) {
    r.errorCode = ENOTCONN;
    return r;
  }
  if ((length > 0 && data == nullptr) || length > kWireMaxDataLength ||
      (direction == DataDirection::kNone && length != 0)) {
    r.errorCode = EINVAL;
    return r;
  }
  WireRequestHeader request;
  request.direction = direction;
  request.tag = NextTag();
  request.dataLength = length;
  request.timeoutMs = timeoutMs;
  request.cdb = cdb;
  int budget = SimRealTimeoutMs(timeoutMs, scale_, minRealTimeoutMs_);
  WireIo io = SendWireRequest(fd_, request, data, budget);
  bool sent = io == WireIo::kOk;
  WireReplyHeader reply;
  if (sent) io = ReadWireReply(fd_, request, data, reply, budget, &owed_);
  if (io != WireIo::kOk) {
    int e = errno;
    switch (io) {
      case WireIo::kClosed:
        r.errorCode = ENODEV;
        break;
      case WireIo::kTimeout:
        r.errorCode = ETIMEDOUT;
        break;
      default:
        r.errorCode = e != 0 ? e : EIO;
        break;
    }
    // Only a request sent whole and a wait that ended between replies
    // leave the stream in step.
    bool inStep = sent && io == WireIo::kTimeout && owed_.size() < kMaxOwedReplies;
    if (inStep)
      owed_.push_back(request.tag);
    else
      Close();
    return r;
  }
  r.scsiStatus = reply.scsiStatus;
  r.transferred = direction == DataDirection::kFromDevice ? reply.returnedLength : length;
  if (reply.scsiStatus != 0) {
    r.status = SendStatus::kBadStatus;
    r.errorCode = EIO;
    return r;
  }
  r.status = SendStatus::kGood;
  return r;
}

void SimSocketTransport::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  owed_.clear();
}

}  // namespace flashery
