// The simulator wire protocol: how the station's socket transport and the
// simulated handsets (flashery-sim) exchange one vendor command over a Unix
// stream socket. One request, one reply; all numbers little-endian.
//
//   request : u8 direction (0 none, 1 to device, 2 from device)
//             u8 cdbLength (16)   u16 reserved (0)
//             u32 dataLength      u32 timeoutMs
//             u8 cdb[16]
//             dataLength bytes    (direction 1 only)
//   reply   : u8 scsiStatus (0 good, 2 check condition)
//             u8 reserved[3]
//             u32 returnedLength  (direction 2: bytes that follow, <= dataLength)
//             returnedLength bytes
//
// Either peer may be hostile: decoders check every field, a data length is
// bounded by kWireMaxDataLength before anything is allocated, and a reply
// that returns more than was asked for (or anything for a request without
// data from the handset) is rejected. Reserved fields are written as zero
// and ignored on reading.
//
// A simulated handset present on the bus is the socket DIR/SERIAL.sock and
// the one-line file DIR/SERIAL.id holding its interface path. A serial is a
// plain file name: non-empty, at most kMaxSimSerialLength bytes, letters,
// digits, '-', '_' and '.', and not starting with '.'.
//
// The I/O helpers work on a blocking or non-blocking descriptor, wait with
// poll(2) within a total budget in real milliseconds (-1 = no limit), retry
// on EINTR and never raise SIGPIPE.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "device/transport.h"

namespace flashery {

constexpr size_t kWireRequestHeaderSize = 28;
constexpr size_t kWireReplyHeaderSize = 8;
// Largest data phase either side accepts (the largest command the station
// sends carries 65,024 bytes; names are bounded by their u16 length).
constexpr uint32_t kWireMaxDataLength = 1u << 20;
constexpr size_t kMaxSimSerialLength = 64;
// The station waits for a simulated handset's reply for the command's
// time-out in station time, scaled like every sleep (FLASHERY_TIME_SCALE),
// but never less than this many real milliseconds, so a loaded machine does
// not turn a prompt reply into a time-out. A handset that means to answer
// late must therefore be later than SimRealTimeoutMs(timeout, scale).
constexpr int kSimMinRealTimeoutMs = 500;
int SimRealTimeoutMs(uint32_t stationTimeoutMs, double timeScale,
                     int floorMs = kSimMinRealTimeoutMs);

struct WireRequestHeader {
  DataDirection direction = DataDirection::kNone;
  uint32_t dataLength = 0;
  uint32_t timeoutMs = 0;
  std::array<uint8_t, kCdbLength> cdb{};
};

struct WireReplyHeader {
  uint8_t scsiStatus = 0;
  uint32_t returnedLength = 0;
};

using WireRequestBytes = std::array<uint8_t, kWireRequestHeaderSize>;
using WireReplyBytes = std::array<uint8_t, kWireReplyHeaderSize>;

WireRequestBytes EncodeRequestHeader(const WireRequestHeader& header);
// nullopt when the bytes are short, the direction is unknown, cdbLength is
// not 16, dataLength exceeds kWireMaxDataLength, or a request without a
// data phase announces data.
std::optional<WireRequestHeader> DecodeRequestHeader(const uint8_t* bytes, size_t size);

WireReplyBytes EncodeReplyHeader(const WireReplyHeader& header);
// Decodes a reply to a request of `direction` and `requestedLength`:
// nullopt when the bytes are short or returnedLength is more than the
// request allows (0 unless direction is kFromDevice).
std::optional<WireReplyHeader> DecodeReplyHeader(const uint8_t* bytes, size_t size,
                                                 DataDirection direction,
                                                 uint32_t requestedLength);

enum class WireIo : uint8_t {
  kOk,
  kClosed,   // the peer closed the connection (also: reset, broken pipe)
  kTimeout,  // the budget ran out first
  kError,    // any other system error (see errno)
};

// Reads exactly `size` bytes, or reports why not.
WireIo ReadAll(int fd, void* buffer, size_t size, int timeoutMs);
// Writes all `size` bytes, or reports why not.
WireIo WriteAll(int fd, const void* buffer, size_t size, int timeoutMs);

// Station side: sends a request (header, then the data for kToDevice).
WireIo SendWireRequest(int fd, const WireRequestHeader& header, const uint8_t* data,
                       int timeoutMs);
// Station side: reads the reply to `request`; data of a kFromDevice reply
// goes straight into `buffer` (which holds request.dataLength bytes).
// A malformed reply header gives kError with errno EPROTO.
WireIo ReadWireReply(int fd, const WireRequestHeader& request, uint8_t* buffer,
                     WireReplyHeader& reply, int timeoutMs);

// Handset side: one request with its outgoing data (empty unless kToDevice).
struct WireRequest {
  WireRequestHeader header;
  std::vector<uint8_t> data;
};
// Reads one request. kClosed before the first byte is the normal end of a
// connection; a malformed header gives kError with errno EPROTO.
WireIo ReadWireRequest(int fd, WireRequest& request, int timeoutMs);
// Handset side: sends a reply; `data` (length bytes) only for kFromDevice.
WireIo SendWireReply(int fd, uint8_t scsiStatus, const uint8_t* data, uint32_t length,
                     int timeoutMs);

// Socket path conventions of the simulated bus.
bool IsValidSimSerial(std::string_view serial);
std::string SimSocketPath(const std::string& dir, std::string_view serial);
std::string SimIdPath(const std::string& dir, std::string_view serial);
// The serial of a file name "SERIAL.id" / "SERIAL.sock" (nullopt otherwise).
std::optional<std::string> SimSerialFromIdFileName(std::string_view fileName);
std::optional<std::string> SimSerialFromSocketPath(std::string_view path);

// Connects a stream socket to `path`. Returns the descriptor (close-on-exec)
// or -errno: -ECONNREFUSED when the handset is busy with another opener or
// gone with its socket file left behind, -ENOENT when it is absent,
// -ENAMETOOLONG when the path does not fit a socket address.
int ConnectUnixSocket(const std::string& path);

}  // namespace flashery
