// PortDevice: a port job's handle on its handset. The job creates one from
// a copy of the port's PortRecord, owns it, and destroys it (also when it
// replaces it after the handset restarted); the destructor closes the
// transport.
//
// It carries the port's reporting context (`out`: status line, progress
// position, log prefix = the record's instanceId), the per-file state of
// the file-set transfer (fileSize, fileCheck: sent and reset by EndFile),
// and logTransportErrors: while true, a failed command writes its error
// report to the log; CheckAlive clears it for its own duration so a
// restarting handset can be probed without filling the log.
//
// OpenDevice and SendCommand are the transport operations with the log
// lines the station writes for them:
//   open failed        "Error CreateFile %d %s" (errno, instanceId)
//   open succeeded     text 56
//   bad SCSI status    text 100 + "%d" (bytes transferred) + the sense
//                      detail (SenseDetail), then as below
//   any failure        text 101 + "%d\r\n" (errno), then "\r\n"
// Nothing goes to the status line here; the vendor operations decide what
// the operator sees. Every wait goes through the Clock.
//
// OpenDevice opens through Transport::OpenHandset with the record's
// instanceId, so a node that now belongs to another handset is refused
// (the "Error CreateFile" line then carries ESTALE).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/port_record.h"
#include "device/transport.h"
#include "device/vendor_command.h"
#include "text/status.h"

namespace flashery {

class Clock;
class TextTable;

// " sense K/AA/QQ" (sense key, additional sense code and qualifier in hex)
// for a reply whose sense bytes are in fixed (0x70/0x71) or descriptor
// (0x72/0x73) format and long enough to hold them; "" otherwise.
std::string SenseDetail(const SendResult& result);

class PortDevice {
 public:
  // `output` supplies view, listener, log and commandLineMode; port,
  // instanceId and progressPosition are set here.
  PortDevice(const PortRecord& record, int portIndex, std::unique_ptr<Transport> transport,
             const TextTable& texts, Clock& clock, const PortOutput& output);
  ~PortDevice();
  PortDevice(const PortDevice&) = delete;
  PortDevice& operator=(const PortDevice&) = delete;

  // Opens record().openPath (the devicePath when no open path is known)
  // as the handset record().instanceId.
  bool OpenDevice();
  bool IsOpen() const;
  // Sends one command with its data (`data` holds cmd.dataLength bytes;
  // may be null when that is 0). True only on good status.
  bool SendCommand(const VendorCommand& cmd, uint8_t* data);
  // The outcome of the last SendCommand, for callers that log more.
  const SendResult& lastResult() const { return last_; }

  int portIndex() const { return portIndex_; }
  const PortRecord& record() const { return record_; }
  const TextTable& texts() const { return texts_; }
  Clock& clock() { return clock_; }
  std::string Text(int id) const;

  PortOutput out;
  uint32_t fileSize = 0;
  uint32_t fileCheck = 0;
  bool logTransportErrors = true;

 private:
  PortRecord record_;
  int portIndex_;
  std::unique_ptr<Transport> transport_;
  const TextTable& texts_;
  Clock& clock_;
  SendResult last_;
};

}  // namespace flashery
