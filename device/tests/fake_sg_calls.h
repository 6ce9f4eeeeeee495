// A SCSI generic driver for tests: records every submitted request, lets
// the test decide how each completes, queues the replies for reading, and
// can interrupt any poll or read. Virtual time advances only when a poll
// waits in vain.
#pragma once

#include <scsi/sg.h>

#include <cerrno>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "device/sg_io_transport.h"

namespace flashery::testing {

struct FakeSgCalls final : SgIoCalls {
  std::vector<std::pair<std::string, int>> opens;
  int openResult = 5;
  std::vector<int> closed;
  // Every request handed to Submit (also refused ones) and its command.
  std::vector<sg_io_hdr_t> requests;
  std::vector<std::vector<uint8_t>> cdbs;
  // Completes a request (status fields, sense, data-in); a non-zero result
  // refuses the submission with that errno.
  std::function<int(sg_io_hdr_t&)> driver = [](sg_io_hdr_t&) { return 0; };
  bool holdReplies = false;          // completed requests go to `held`
  std::deque<sg_io_hdr_t> held;      // never answered (until moved to ready)
  std::deque<sg_io_hdr_t> ready;     // replies waiting to be read
  std::deque<int> pollScript;        // poll results given first (e.g. -EINTR)
  std::deque<int> receiveScript;     // read errors given first (EINTR, EAGAIN)
  std::vector<int> pollTimeouts;
  unsigned major = 21, minor = 0;
  int deviceNumberError = 0;
  uint64_t now = 0;

  int Open(const std::string& path, int flags) override {
    opens.emplace_back(path, flags);
    return openResult;
  }
  int Submit(int, const sg_io_hdr_t& hdr) override {
    requests.push_back(hdr);
    cdbs.emplace_back(hdr.cmdp, hdr.cmdp + hdr.cmd_len);
    sg_io_hdr_t done = hdr;
    done.info = SG_INFO_OK;
    if (int err = driver(done)) return err;
    (holdReplies ? held : ready).push_back(done);
    return 0;
  }
  int Poll(int, int timeoutMs) override {
    pollTimeouts.push_back(timeoutMs);
    if (!pollScript.empty()) {
      int r = pollScript.front();
      pollScript.pop_front();
      return r;
    }
    if (!ready.empty()) return 1;
    now += static_cast<uint64_t>(timeoutMs);
    return 0;
  }
  int Receive(int, sg_io_hdr_t& hdr) override {
    if (!receiveScript.empty()) {
      int r = receiveScript.front();
      receiveScript.pop_front();
      return r;
    }
    if (ready.empty()) return EAGAIN;
    hdr = ready.front();
    ready.pop_front();
    return 0;
  }
  int DeviceNumber(int, unsigned& maj, unsigned& min) override {
    maj = major;
    min = minor;
    return deviceNumberError;
  }
  uint64_t NowMs() override { return now; }
  void Close(int fd) override { closed.push_back(fd); }
};

}  // namespace flashery::testing
