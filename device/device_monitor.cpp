#include "device/device_monitor.h"

#include "device/discovery.h"
#include "device/port_binding.h"
#include "platform/clock.h"

namespace flashery {

DeviceMonitor::DeviceMonitor(HandsetBus& bus, PortRecordTable& records, PanelUpdater* panels,
                             Clock& clock)
    : bus_(bus), records_(records), panels_(panels), clock_(clock) {}

DeviceMonitor::~DeviceMonitor() { Stop(); }

void DeviceMonitor::SetModelFilter(std::string model) {
  std::lock_guard lock(modelMutex_);
  model_ = std::move(model);
}

std::string DeviceMonitor::modelFilter() const {
  std::lock_guard lock(modelMutex_);
  return model_;
}

void DeviceMonitor::SetPortMap(const PortMap& map) {
  std::lock_guard lock(modelMutex_);
  map_ = map;
}

void DeviceMonitor::Start() {
  if (thread_.joinable()) return;
  records_.ClearAll();
  thread_ = std::jthread([this](std::stop_token stop) { Run(stop); });
}

void DeviceMonitor::Stop() {
  if (!thread_.joinable()) return;
  thread_.request_stop();
  thread_.join();
}

int DeviceMonitor::ScanOnce() {
  // Every handset of the maker: the filter is applied by the binding, which
  // keeps a running port's handset whatever the model.
  std::vector<PortRecord> found = DiscoverHandsets(bus_, "");
  std::string model;
  PortMap map;
  {
    std::lock_guard lock(modelMutex_);
    model = model_;
    map = map_;
  }
  ScanDecision decision;
  records_.Update([&](std::array<PortRecord, kRecordCount>& all) {
    std::array<PortRecord, kPortCount> ports;
    for (int i = 0; i < kPortCount; ++i) ports[static_cast<size_t>(i)] = all[static_cast<size_t>(i)];
    decision = DecideScan(ports, found, model, map);
    for (int i = 0; i < kPortCount; ++i)
      all[static_cast<size_t>(i)] = decision.ports[static_cast<size_t>(i)];
  });
  records_.SetConnectedCount(decision.connectedCount);
  if (panels_)
    for (const PanelUpdate& u : decision.panels) panels_->UpdatePortPanel(u.port, u.connected);
  scans_.fetch_add(1);
  return decision.refreshedRunning;
}

void DeviceMonitor::Run(std::stop_token stop) {
  while (!stop.stop_requested()) {
    int pauses = ScanOnce();
    for (int i = 0; i < pauses && !stop.stop_requested(); ++i) clock_.SleepMs(kRefreshPauseMs);
    if (stop.stop_requested()) break;
    clock_.SleepMs(kScanPauseMs);
  }
}

}  // namespace flashery
