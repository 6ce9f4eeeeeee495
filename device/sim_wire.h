// The simulator wire protocol: how the station's socket transport and the
// simulated handsets (flashery-sim) exchange one vendor command over a Unix
// stream socket. One request, one reply; all numbers little-endian.
//
//   request : u8 direction (0 none, 1 to device, 2 from device)
//             u8 cdbLength (16)   u16 tag
//             u32 dataLength      u32 timeoutMs
//             u8 cdb[16]
//             dataLength bytes    (direction 1 only)
//   reply   : u8 scsiStatus (0 good, 2 check condition)
//             u8 reserved (0)     u16 tag (the request's, echoed)
//             u32 returnedLength  (direction 2: bytes that follow, <= dataLength)
//             returnedLength bytes
//
// Tags: the station gives every request a new non-zero tag, so that a reply
// that comes after its command timed out is told apart from the answer to
// a later command and read past, as an sg descriptor stays usable after a
// timed-out command. Tag 0 means untagged: a peer that predates tags writes
// zero there and echoes nothing; such a reply is taken as the answer only
// while no earlier command still owes one (ClassifyReplyHeader).
//
// Either peer may be hostile: decoders check every field, a data length is
// bounded by kWireMaxDataLength before anything is allocated, and a reply
// that returns more than was asked for (or anything for a request without
// data from the handset) is rejected. A reply read past is skipped through
// a small fixed buffer, never stored. Reserved fields are written as zero
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
// but never less than this many real milliseconds: eight handsets writing
// a large package on a loaded two-core machine do miss half a second now
// and then, never three. A handset that means to answer late must
// therefore be later than SimRealTimeoutMs(timeout, scale).
constexpr int kSimMinRealTimeoutMs = 3000;
int SimRealTimeoutMs(uint32_t stationTimeoutMs, double timeScale,
                     int floorMs = kSimMinRealTimeoutMs);

struct WireRequestHeader {
  DataDirection direction = DataDirection::kNone;
  uint16_t tag = 0;  // 0: untagged
  uint32_t dataLength = 0;
  uint32_t timeoutMs = 0;
  std::array<uint8_t, kCdbLength> cdb{};
};

struct WireReplyHeader {
  uint8_t scsiStatus = 0;
  uint16_t tag = 0;
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
// request allows (0 unless direction is kFromDevice). The tag is not
// checked here.
std::optional<WireReplyHeader> DecodeReplyHeader(const uint8_t* bytes, size_t size,
                                                 DataDirection direction,
                                                 uint32_t requestedLength);

// What the station makes of a reply header read while `request` waits for
// its answer and the commands tagged `owed` (count entries, non-zero) timed
// out without one:
//   kAnswer  the answer to `request`: its tag, or tag 0 from an untagged
//            peer while nothing is owed; returnedLength fits the request;
//   kStale   the late reply to an owed command (header.tag names it); its
//            returnedLength bytes (<= kWireMaxDataLength) are to be read
//            past;
//   kBad     anything else: short bytes, an answer longer than the request
//            allows, a tag nobody waits for, an untagged reply while a late
//            one may still come (it could be either), a stale data length
//            beyond kWireMaxDataLength.
// Pure, for any bytes (a fuzzing entry point of the station's side).
enum class ReplyKind : uint8_t { kAnswer, kStale, kBad };
struct ReplyVerdict {
  ReplyKind kind = ReplyKind::kBad;
  WireReplyHeader header;
};
ReplyVerdict ClassifyReplyHeader(const uint8_t* bytes, size_t size, const WireRequestHeader& request,
                                 const uint16_t* owed, size_t owedCount);

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
// Late replies to the commands tagged in `owed` are read past first; each
// one read past leaves `owed` (ClassifyReplyHeader decides). A reply that
// is kBad gives kError with errno EPROTO. kTimeout means that the budget
// ran out between replies, so the stream is still in step; running out in
// the middle of a reply gives kError with errno ETIMEDOUT.
WireIo ReadWireReply(int fd, const WireRequestHeader& request, uint8_t* buffer,
                     WireReplyHeader& reply, int timeoutMs, std::vector<uint16_t>* owed = nullptr);

// Handset side: one request with its outgoing data (empty unless kToDevice).
struct WireRequest {
  WireRequestHeader header;
  std::vector<uint8_t> data;
};
// Reads one request. kClosed before the first byte is the normal end of a
// connection; a malformed header gives kError with errno EPROTO.
WireIo ReadWireRequest(int fd, WireRequest& request, int timeoutMs);
// Handset side: sends a reply echoing the request's `tag`; `data` (length
// bytes) only for kFromDevice.
WireIo SendWireReply(int fd, uint16_t tag, uint8_t scsiStatus, const uint8_t* data, uint32_t length,
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
