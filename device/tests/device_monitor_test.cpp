#include "device/device_monitor.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// Bus and panels shared with the monitor thread.
struct FakeBus final : HandsetBus {
  std::mutex mutex;
  std::vector<BusEntry> entries;
  void Set(std::vector<BusEntry> e) {
    std::lock_guard lock(mutex);
    entries = std::move(e);
  }
  std::vector<BusEntry> List() override {
    std::lock_guard lock(mutex);
    return entries;
  }
  std::unique_ptr<Transport> NewTransport() override { return nullptr; }
};

struct RecordingPanels final : PanelUpdater {
  std::mutex mutex;
  std::vector<PanelUpdate> updates;
  void UpdatePortPanel(int port, bool connected) override {
    std::lock_guard lock(mutex);
    updates.push_back({port, connected});
  }
  bool Saw(int port, bool connected) {
    std::lock_guard lock(mutex);
    return std::find(updates.begin(), updates.end(), PanelUpdate{port, connected}) != updates.end();
  }
};

TEST(DeviceMonitor, ScansKeepTheMakersHandsetsOfTheOpenModel) {
  FakeBus bus;
  PortRecordTable table;
  RecordingPanels panels;
  FakeClock clock;
  DeviceMonitor monitor(bus, table, &panels, clock);
  bus.Set({{PathOf("a1"), "/dev/sg1", ""},
           {PathOf("B2", "t800"), "/dev/sg2", ""},
           {"\\\\?\\usbstor#disk&ven_sandisk&prod_cruzer&rev_1#c3&0#{x}", "/dev/sg3", ""}});
  EXPECT_EQ(DiscoverHandsets(bus, "").size(), 2u);
  monitor.SetModelFilter("T800");
  EXPECT_EQ(monitor.ScanOnce(), 0);
  PortRecord r = table.Get(0);
  EXPECT_EQ(r.instanceId, "B2");
  EXPECT_EQ(r.devicePath, PathOf("B2", "t800"));
  EXPECT_EQ(r.openPath, "/dev/sg2");
  EXPECT_EQ(r.productText, "quillon_t800");
  EXPECT_EQ(r.attached, 1u);
  EXPECT_FALSE(table.Get(1).bound());
  EXPECT_EQ(table.connectedCount(), 1u);
  EXPECT_EQ(panels.updates.size(), 8u);
  EXPECT_TRUE(panels.Saw(0, true));
  EXPECT_TRUE(panels.Saw(7, false));

  monitor.SetModelFilter("");  // no package open: every handset of the maker
  monitor.ScanOnce();
  EXPECT_EQ(table.Get(1).instanceId, "a1");
  EXPECT_EQ(table.connectedCount(), 2u);
  EXPECT_TRUE(table.TryStartJob(1));
  EXPECT_FALSE(table.TryStartJob(1));  // already running
  EXPECT_FALSE(table.TryStartJob(5));  // empty port
  // Another model's package is published while port 2 runs: its handset
  // stays bound and attached.
  monitor.SetModelFilter("T800");
  monitor.ScanOnce();
  EXPECT_EQ(table.Get(1).instanceId, "a1");
  EXPECT_EQ(table.Attached(1), 1u);
  EXPECT_EQ(table.connectedCount(), 2u);
  EXPECT_TRUE(clock.sleeps().empty());  // ScanOnce itself never waits
}

// The monitor thread against a view and a job on this thread; the test
// that matters under ThreadSanitizer.
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
    for (uint64_t target = monitor.scanCount() + n; monitor.scanCount() < target;)
      std::this_thread::yield();
  };

  bus.Set({{PathOf("a1"), "/dev/sg1", ""}});
  monitor.Start();
  waitScans(2);
  EXPECT_FALSE(table.Get(12).bound());  // all 16 records cleared at the start
  EXPECT_TRUE(panels.Saw(0, true));

  ASSERT_TRUE(table.TryStartJob(0));  // the job polls attached while the handset restarts
  bus.Set({});
  while (table.Attached(0) != 0) std::this_thread::yield();
  EXPECT_EQ(table.State(0), kPortRunning);
  bus.Set({{PathOf("a1"), "/dev/sg9", ""}});
  while (table.Attached(0) != 1) std::this_thread::yield();
  EXPECT_EQ(table.Get(0).openPath, "/dev/sg9");

  table.SetState(0, kPortFinished);  // the job ends, the handset is unplugged
  bus.Set({});
  waitScans(2);
  EXPECT_FALSE(table.Get(0).bound());
  EXPECT_TRUE(panels.Saw(0, false));

  monitor.Stop();
  EXPECT_FALSE(monitor.running());
  std::vector<uint32_t> sleeps = clock.sleeps();
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), kRefreshPauseMs), 1);
  EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), kScanPauseMs) + 1,
            static_cast<long>(sleeps.size()));
}

}  // namespace
}  // namespace flashery
