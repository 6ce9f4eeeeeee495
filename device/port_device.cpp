#include "device/port_device.h"

#include <cerrno>

#include "platform/clock.h"
#include "text/text_ids.h"
#include "text/text_table.h"

namespace flashery {

PortDevice::PortDevice(const PortRecord& record, int portIndex,
                       std::unique_ptr<Transport> transport, const TextTable& texts, Clock& clock,
                       const PortOutput& output)
    : out(output),
      record_(record),
      portIndex_(portIndex),
      transport_(std::move(transport)),
      texts_(texts),
      clock_(clock) {
  out.port = portIndex;
  out.instanceId = record.instanceId;
  out.progressPosition = 0;
}

PortDevice::~PortDevice() {
  if (transport_) transport_->Close();
}

std::string PortDevice::Text(int id) const { return texts_.Get(id); }

bool PortDevice::IsOpen() const { return transport_ && transport_->IsOpen(); }

std::string SenseDetail(const SendResult& r) {
  const auto& s = r.sense;
  unsigned code = r.senseLength > 0 ? (s[0] & 0x7Fu) : 0;
  unsigned key = 0, asc = 0, ascq = 0;
  if ((code == 0x70 || code == 0x71) && r.senseLength >= 14) {
    key = s[2] & 0x0Fu, asc = s[12], ascq = s[13];
  } else if ((code == 0x72 || code == 0x73) && r.senseLength >= 4) {
    key = s[1] & 0x0Fu, asc = s[2], ascq = s[3];
  } else {
    return {};
  }
  return FormatString(" sense %X/%02X/%02X", key, asc, ascq);
}

bool PortDevice::OpenDevice() {
  const std::string& path = record_.openPath.empty() ? record_.devicePath : record_.openPath;
  OpenResult r;
  if (!transport_) {
    r.errorCode = ENODEV;
  } else if (path.empty()) {
    r.errorCode = ENOENT;
  } else {
    r = transport_->OpenHandset(path, record_.instanceId);
  }
  if (!r.ok) {
    WriteLog(out, "Error CreateFile %d %s", r.errorCode, record_.instanceId.c_str());
    WriteLogText(out, "\r\n");
    return false;
  }
  WriteLogText(out, Text(kTextDeviceOpened));
  WriteLogText(out, "\r\n");
  return true;
}

bool PortDevice::SendCommand(const VendorCommand& cmd, uint8_t* data) {
  if (!transport_) {
    last_ = SendResult{};
    last_.errorCode = ENODEV;
  } else if (cmd.dataLength > 0 && data == nullptr) {
    last_ = SendResult{};
    last_.errorCode = EINVAL;
  } else {
    last_ = transport_->Send(cmd.cdb, cmd.direction, data, cmd.dataLength, kCommandTimeoutMs);
  }
  if (last_.good()) return true;
  if (logTransportErrors) {
    if (last_.status == SendStatus::kBadStatus) {
      WriteLogText(out, Text(kTextBadCommandStatus) + FormatString("%u", last_.transferred) +
                            SenseDetail(last_));
      WriteLogText(out, "\r\n");
    }
    WriteLogText(out, Text(kTextCommandFailed) + FormatString("%d\r\n", last_.errorCode));
    WriteLogText(out, "\r\n");
  }
  return false;
}

}  // namespace flashery
