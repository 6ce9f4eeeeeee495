#include "sim/bus_presence.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/sim_wire.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery::sim {

namespace {

std::string NextPath(const std::string& dir, const std::string& serial) {
  return JoinPath(dir, "." + serial + ".sock.next");
}

std::string UsbPath(const std::string& dir, const std::string& serial) {
  return JoinPath(dir, serial + ".usb");
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

BusPresence::BusPresence(std::string dir) : dir_(std::move(dir)) {}

BusPresence::~BusPresence() { Leave(); }

bool BusPresence::PathsFit(const std::string& dir, const std::string& serial) {
  return NextPath(dir, serial).size() < sizeof(sockaddr_un{}.sun_path);
}

// A new socket bound under the private name and renamed over SERIAL.sock.
bool BusPresence::BindInPlace(bool listening) {
  std::string next = NextPath(dir_, serial_);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (next.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, next.data(), next.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ::unlink(next.c_str());
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) != 0 ||
      (listening && ::listen(fd, 4) != 0) ||
      std::rename(next.c_str(), SimSocketPath(dir_, serial_).c_str()) != 0) {
    ::unlink(next.c_str());
    ::close(fd);
    return false;
  }
  if (listening) {
    CloseFd(listenFd_);
    listenFd_ = fd;
  } else {
    CloseFd(standbyFd_);
    standbyFd_ = fd;
  }
  return true;
}

bool BusPresence::Appear(const std::string& serial, const std::string& interfacePath,
                         std::string& error, const std::string& usbSocketPath) {
  Leave();
  if (!IsValidSimSerial(serial) || !PathsFit(dir_, serial)) {
    error = "serial " + serial + " does not fit a socket path in " + dir_;
    return false;
  }
  serial_ = serial;
  if (!BindInPlace(true)) {
    error = std::string("cannot listen on ") + SimSocketPath(dir_, serial) + ": " + std::strerror(errno);
    serial_.clear();
    return false;
  }
  if (!usbSocketPath.empty() && !WriteFileAtomic(UsbPath(dir_, serial), usbSocketPath + "\n")) {
    error = "cannot write " + UsbPath(dir_, serial);
    Leave();
    return false;
  }
  if (!WriteFileAtomic(SimIdPath(dir_, serial), interfacePath + "\n")) {
    error = "cannot write " + SimIdPath(dir_, serial);
    Leave();
    return false;
  }
  return true;
}

int BusPresence::Accept() {
  if (listenFd_ < 0) return -1;
  int fd;
  do {
    fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  // From now on connects are refused; connections that were still queued
  // are reset when the old listener closes.
  if (BindInPlace(false)) CloseFd(listenFd_);
  return fd;
}

bool BusPresence::Reaccept() {
  if (listenFd_ >= 0) return true;
  if (standbyFd_ >= 0 && ::listen(standbyFd_, 4) == 0) {
    listenFd_ = standbyFd_;
    standbyFd_ = -1;
    return true;
  }
  return present() && BindInPlace(true);
}

void BusPresence::Leave() {
  if (!serial_.empty()) {
    ::unlink(SimIdPath(dir_, serial_).c_str());
    ::unlink(UsbPath(dir_, serial_).c_str());
    ::unlink(SimSocketPath(dir_, serial_).c_str());
    ::unlink(NextPath(dir_, serial_).c_str());
  }
  CloseFd(listenFd_);
  CloseFd(standbyFd_);
  serial_.clear();
}

}  // namespace flashery::sim
