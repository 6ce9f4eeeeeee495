#include "device/device_monitor.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "device/discovery.h"
#include "device/port_binding.h"
#include "platform/clock.h"

namespace flashery {
namespace {

std::string PathOf(const std::string& serial, const std::string& model = "t745") {
  return "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_" + model + "&rev_0001#" + serial +
         "&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
}

class FakeBus final : public HandsetBus {
 public:
  void Set(std::vector<BusEntry> entries) {
    std::lock_guard lock(mutex_);
    entries_ = std::move(entries);
  }
  std::vector<BusEntry> List() override {
    std::lock_guard lock(mutex_);
    return entries_;
  }
  std::unique_ptr<Transport> NewTransport() override { return nullptr; }

 private:
  std::mutex mutex_;
  std::vector<BusEntry> entries_;
};

class RecordingPanels final : public PanelUpdater {
 public:
  void UpdatePortPanel(int port, bool connected) override {
    std::lock_guard lock(mutex_);
    updates_.push_back({port, connected});
  }
  std::vector<PanelUpdate> Take() {
    std::lock_guard lock(mutex_);
    return std::exchange(updates_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<PanelUpdate> updates_;
};

bool HasUpdate(const std::vector<PanelUpdate>& u, int port, bool connected) {
  for (const auto& x : u)
    if (x.port == port && x.connected == connected) return true;
  return false;
}

TEST(Discovery, KeepsTheMakersHandsetsOfTheOpenModelInBusOrder) {
  FakeBus bus;
  bus.Set({{PathOf("a1"), "/dev/sg1"},
           {PathOf("b2", "t800"), "/dev/sg2"},
           {"\\\\?\\usbstor#disk&ven_sandisk&prod_cruzer&rev_1#c3&0#{x}", "/dev/sg3"},
           {PathOf("D4"), "/dev/sg4"}});
  std::vector<PortRecord> all = DiscoverHandsets(bus, "");
  ASSERT_EQ(all.size(), 3u);
  std::vector<PortRecord> t745 = DiscoverHandsets(bus, "T745");
  ASSERT_EQ(t745.size(), 2u);
  EXPECT_EQ(t745[0].instanceId, "a1");
  EXPECT_EQ(t745[1].instanceId, "D4");
  EXPECT_EQ(t745[1].devicePath, PathOf("D4"));
  EXPECT_EQ(t745[1].openPath, "/dev/sg4");
  EXPECT_EQ(t745[1].productText, "quillon_t745");
  EXPECT_EQ(t745[1].attached, 1u);
  EXPECT_EQ(t745[1].state, kPortIdle);
}

TEST(DeviceMonitor, ScansBindPortsUnderTheModelFilterAndShowThePanels) {
  FakeBus bus;
  PortRecordTable table;
  RecordingPanels panels;
  FakeClock clock;
  DeviceMonitor monitor(bus, table, &panels, clock);
  monitor.SetModelFilter("T800");
  bus.Set({{PathOf("a1"), "/dev/sg1"}, {PathOf("b2", "t800"), "/dev/sg2"}});
  EXPECT_EQ(monitor.ScanOnce(), 0);
  EXPECT_EQ(table.Get(0).instanceId, "b2");
  EXPECT_FALSE(table.Get(1).bound());
  EXPECT_EQ(table.connectedCount(), 1u);
  std::vector<PanelUpdate> u = panels.Take();
  EXPECT_EQ(u.size(), 8u);
  EXPECT_TRUE(HasUpdate(u, 0, true));
  for (int p = 1; p < 8; ++p) EXPECT_TRUE(HasUpdate(u, p, false));

  // No package open: every handset of the maker is bound.
  monitor.SetModelFilter("");
  monitor.ScanOnce();
  EXPECT_EQ(table.Get(1).instanceId, "a1");
  EXPECT_EQ(table.connectedCount(), 2u);

  // The view starts a job; unplugging detaches, returning refreshes and
  // owes a pause.
  EXPECT_TRUE(table.TryStartJob(1));
  EXPECT_FALSE(table.TryStartJob(1));  // already running
  EXPECT_FALSE(table.TryStartJob(5));  // empty port
  bus.Set({{PathOf("b2", "t800"), "/dev/sg2"}});
  monitor.ScanOnce();
  EXPECT_EQ(table.Attached(1), 0u);
  EXPECT_EQ(table.State(1), kPortRunning);
  bus.Set({{PathOf("b2", "t800"), "/dev/sg2"}, {PathOf("a1"), "/dev/sg6"}});
  EXPECT_EQ(monitor.ScanOnce(), 1);
  EXPECT_EQ(table.Attached(1), 1u);
  EXPECT_EQ(table.Get(1).openPath, "/dev/sg6");
  EXPECT_EQ(table.State(1), kPortRunning);
  EXPECT_TRUE(clock.sleeps().empty());  // ScanOnce itself never waits
}

// The monitor thread against a view and a job on other threads; this is
// the test that matters under ThreadSanitizer.
TEST(DeviceMonitor, ThreadFollowsAHandsetThroughAJobAndStopsOnItsFlag) {
  FakeBus bus;
  PortRecordTable table;
  RecordingPanels panels;
  FakeClock clock;
  PortRecord stale;
  stale.instanceId = "old";
  table.Set(12, stale);
  DeviceMonitor monitor(bus, table, &panels, clock);
  auto waitScans = [&](uint64_t n) {
    uint64_t target = monitor.scanCount() + n;
    while (monitor.scanCount() < target) std::this_thread::yield();
  };

  bus.Set({{PathOf("a1"), "/dev/sg1"}});
  monitor.Start();
  EXPECT_TRUE(monitor.running());
  waitScans(2);
  EXPECT_FALSE(table.Get(12).bound());  // all 16 records cleared at the start
  EXPECT_EQ(table.Get(0).instanceId, "a1");
  EXPECT_TRUE(HasUpdate(panels.Take(), 0, true));

  // The "job": polls attached while the handset restarts.
  ASSERT_TRUE(table.TryStartJob(0));
  bus.Set({});
  while (table.Attached(0) != 0) std::this_thread::yield();
  EXPECT_EQ(table.State(0), kPortRunning);
  bus.Set({{PathOf("a1"), "/dev/sg9"}});
  while (table.Attached(0) != 1) std::this_thread::yield();
  EXPECT_EQ(table.Get(0).openPath, "/dev/sg9");

  // The job ends and the handset is unplugged: the port is cleared.
  table.SetState(0, kPortFinished);
  bus.Set({});
  waitScans(2);
  EXPECT_FALSE(table.Get(0).bound());
  EXPECT_TRUE(HasUpdate(panels.Take(), 0, false));

  monitor.Stop();
  EXPECT_FALSE(monitor.running());
  uint64_t scans = monitor.scanCount();
  monitor.Stop();  // a second stop is harmless
  EXPECT_EQ(monitor.scanCount(), scans);

  int refreshPauses = 0;
  for (uint32_t ms : clock.sleeps()) {
    EXPECT_TRUE(ms == kScanPauseMs || ms == kRefreshPauseMs) << ms;
    if (ms == kRefreshPauseMs) ++refreshPauses;
  }
  EXPECT_EQ(refreshPauses, 1);
}

}  // namespace
}  // namespace flashery
