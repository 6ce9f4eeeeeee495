// What the window tests share: an application object over a temporary
// program folder holding the shipped language files, a fake job runner,
// and handset records.
#pragma once

#include <array>
#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/port_job_runner.h"
#include "device/port_record.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "text/prompter.h"

namespace flashery::testing {

inline std::string SourceFile(const std::string& relative) {
  const char* src = std::getenv("FLASHERY_SOURCE");
  return std::string(src ? src : ".") + "/" + relative;
}

// Copies a shipped language file into the folder; false when it is missing.
inline bool InstallLanguageFile(const std::string& folder, const std::string& name) {
  auto bytes = ReadWholeFile(SourceFile("lang/" + name));
  return bytes && WriteWholeFile(folder + "/" + name, *bytes);
}

struct TestStation {
  TempDir home;
  FakeClock clock;
  RecordingPrompter prompter;
  Application app{clock, prompter};
  TestStation() { app.appFolder = home.path(); }
};

class FakeJobRunner final : public PortJobRunner {
 public:
  bool StartJob(int port) override {
    if (refuse) return false;
    started.push_back(port);
    active[static_cast<size_t>(port)] = true;
    return true;
  }
  bool JobActive(int port) const override { return port >= 0 && port < 8 && active[static_cast<size_t>(port)]; }
  int ActiveJobs() const override {
    int n = 0;
    for (bool a : active) n += a;
    return n;
  }
  void RequestStopAll() override { ++stopRequests; }
  void JoinAll() override { joins.fetch_add(1); }

  bool refuse = false;
  std::vector<int> started;
  std::array<bool, 8> active{};
  int stopRequests = 0;
  std::atomic<int> joins{0};
};

inline PortRecord BoundRecord(const std::string& serial) {
  PortRecord r;
  r.attached = 1;
  r.instanceId = serial;
  r.productText = "quillon_t745";
  r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#" + serial + "&0#{x}";
  return r;
}

}  // namespace flashery::testing
