// PortView: how a port job reaches the station's view. Every call is
// synchronous: it returns once the view has applied it (the window front
// end carries it out on the GUI thread and the caller waits).
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

class PortView {
 public:
  virtual ~PortView() = default;
  virtual void SetStatusText(int port, const std::string& text) = 0;
  virtual void SetProgress(int port, uint32_t position) = 0;
  virtual void JobEnded(int port, bool ok) = 0;
};

// Receives every status text of a port, in window mode and in the
// unattended mode alike (the unattended live table and run record use it;
// it does not move the progress position).
class StatusListener {
 public:
  virtual ~StatusListener() = default;
  virtual void OnStatus(int port, const std::string& text, uint32_t progressPosition) = 0;
  // Bytes of image and file data the handset has accepted so far in this
  // job (for throughput figures); called after each accepted block.
  virtual void OnTransferred(int /*port*/, uint64_t /*totalBytes*/) {}
};

}  // namespace flashery
