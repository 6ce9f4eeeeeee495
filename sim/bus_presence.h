// One simulated handset's presence on the simulated bus: the socket
// DIR/SERIAL.sock it listens on, the file DIR/SERIAL.id with its
// interface path and, when it has one, DIR/SERIAL.usb with the USB socket
// path it is plugged into (written before the .id file, removed after it).
//
// Appearing binds a fresh listening socket under a private name
// (DIR/.SERIAL.sock.next, which is no serial of the bus) and renames it into
// place before the .id file is written, so a station that sees the .id file
// can connect. Exclusive open: when a connection is accepted, a bound but
// not listening socket is renamed over SERIAL.sock at once, so every further
// connect is refused (ECONNREFUSED) while the connection is open; when it
// ends, that socket starts listening. Leaving removes the .id file first,
// then the socket.
#pragma once

#include <string>

namespace flashery::sim {

class BusPresence {
 public:
  explicit BusPresence(std::string dir);
  ~BusPresence();
  BusPresence(const BusPresence&) = delete;
  BusPresence& operator=(const BusPresence&) = delete;

  // False with `error` set when the socket or the file cannot be made.
  bool Appear(const std::string& serial, const std::string& interfacePath, std::string& error,
              const std::string& usbSocketPath = {});
  // The listening descriptor (-1 while a connection is open or off the bus).
  int listenFd() const { return listenFd_; }
  // Accepts one waiting connection and refuses further ones; -1 on failure.
  int Accept();
  // The accepted connection has ended: accept connections again.
  bool Reaccept();
  void Leave();
  bool present() const { return !serial_.empty(); }

  // Whether DIR/.SERIAL.sock.next fits a socket address.
  static bool PathsFit(const std::string& dir, const std::string& serial);

 private:
  bool BindInPlace(bool listening);

  std::string dir_;
  std::string serial_;
  int listenFd_ = -1;
  int standbyFd_ = -1;
};

}  // namespace flashery::sim
