// The USB handset's function on a FunctionFS mount (MOUNT/ep0, ep1, ep2):
// one interface of class 08 (mass storage), subclass 06 (SCSI transparent),
// protocol 0x50 (bulk-only), with a bulk IN endpoint (ep1) and a bulk OUT
// endpoint (ep2), at full speed (64-byte packets) and high speed (512).
//
// Open writes the descriptors and the strings to ep0; from then on the
// function can be bound to a controller. ep0 then delivers events: BIND
// and UNBIND (the gadget was bound to or unbound from its controller),
// ENABLE and DISABLE (the host configured the device or left the
// configuration; the bulk endpoints work only while enabled), SUSPEND,
// RESUME and SETUP. A SETUP must be answered before ep0 is read again; the
// class requests of the transport are answered here (Get Max LUN: 0;
// Bulk-Only Mass Storage Reset: acknowledged, and counted as an
// interruption of the command in progress); every other request is
// stalled.
//
// Bulk transfers go through Linux AIO with an eventfd, so each one is
// bounded: Transfer waits for its completion, for an ep0 event that ends
// the command (disable, unbind, reset), for the stop signal or for its
// time-out, servicing ep0 all the while; an unfinished transfer is
// cancelled and its completion reaped before Transfer returns, so the
// kernel never holds on to a buffer the caller has let go of. Reads are
// sized in whole 512-byte packets: a host that sends less ends the read
// with a short packet, and no byte it sends is ever dropped.
#pragma once

#include <linux/aio_abi.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace flashery::sim {

constexpr size_t kHighSpeedPacket = 512;

// The blobs written to ep0 (descriptors format 2 with full and high speed,
// then the strings in US English).
std::vector<uint8_t> FunctionDescriptors();
std::vector<uint8_t> FunctionStrings(const std::string& interfaceName);

enum class XferEnd : uint8_t {
  kDone,         // `bytes` moved (a read may end short)
  kTimeout,      // not finished in time; cancelled
  kInterrupted,  // the host reset the transport, left the configuration, or the gadget was unbound
  kStopped,      // the stop signal came
  kError,        // `error` is an errno
};
const char* XferEndName(XferEnd end);

struct XferResult {
  XferEnd end = XferEnd::kError;
  size_t bytes = 0;
  int error = 0;
};

class FunctionFs {
 public:
  // stopFd: readable when the responder is to stop (never read here).
  FunctionFs(int stopFd, bool trace) : stopFd_(stopFd), trace_(trace) {}
  ~FunctionFs() { Close(); }
  FunctionFs(const FunctionFs&) = delete;
  FunctionFs& operator=(const FunctionFs&) = delete;

  bool Open(const std::string& mountDir, const std::string& interfaceName, std::string& error);
  void Close();

  // timeoutMs < 0: no time-out (the stop signal still ends it).
  XferResult FromHost(uint8_t* buffer, size_t length, int timeoutMs);
  XferResult ToHost(const uint8_t* buffer, size_t length, int timeoutMs);
  // Services ep0 for ms milliseconds; kDone when the time has passed,
  // kInterrupted when the command in progress was ended by the host first
  // (unless the whole time is wanted whatever the host does).
  XferEnd Wait(int ms, bool wholeTime = false);
  // Services ep0 until the host has configured the device.
  XferEnd WaitEnabled(int timeoutMs);
  // Halts both bulk endpoints (the answer to a command wrapper that is not
  // valid); the host clears them when it recovers.
  void HaltBulk();

  bool enabled() const { return enabled_; }
  // Counts the host's interruptions (resets, disables, unbinds).
  uint64_t generation() const { return generation_; }

 private:
  XferResult Transfer(int fd, bool read, uint8_t* buffer, size_t length, int timeoutMs);
  XferResult Abandon(struct iocb& cb, XferEnd why);
  bool Reap(struct io_event& event, long timeoutMs);
  void ServiceEp0();
  void AnswerSetup(const uint8_t (&setup)[8]);

  int stopFd_;
  bool trace_;
  int ep0_ = -1;
  int in_ = -1;
  int out_ = -1;
  int eventFd_ = -1;
  aio_context_t aio_ = 0;
  bool enabled_ = false;
  uint64_t generation_ = 0;
};

}  // namespace flashery::sim
