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

}  // namespace flashery
