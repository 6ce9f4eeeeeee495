// The socket map in the binding, the auto-start rule, and the map's
// settings.
#include <gtest/gtest.h>

#include <string>

#include "config/station_line.h"
#include "device/auto_start.h"
#include "device/port_binding.h"

namespace flashery {
namespace {

PortRecord On(const std::string& id, const std::string& socket, uint32_t state = kPortIdle,
              uint32_t attached = 1) {
  PortRecord r;
  r.instanceId = id;
  r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#" + id + "&0#{x}";
  r.openPath = "/dev/sg-" + id;
  r.socketPath = socket;
  r.state = state;
  r.attached = attached;
  return r;
}

using Ports = std::array<PortRecord, kPortCount>;

std::string Ids(const Ports& ports) {
  std::string s;
  for (const PortRecord& p : ports) s += (p.bound() ? p.instanceId : "-") + " ";
  return s;
}

TEST(PortMapBinding, HandsetsTakeTheirSocketsPortWhateverTheirOrder) {
  PortMap map{};
  map[0] = "1-1.4";
  map[2] = "1-1.1";  // ports 2 and 4.. unmapped (gaps)
  map[4] = "1-1.9";
  struct Case {
    const char* what;
    Ports before;
    std::vector<PortRecord> found;
    const char* ids;
  };
  const Case cases[] = {
      {"mapped sockets to their ports, unknown and unmapped ones to the lowest free unmapped port",
       {},
       {On("U", ""), On("A", "1-1.1"), On("V", "1-1.7"), On("B", "1-1.4")},
       "B U A V - - - - "},
      {"nothing on a mapped socket leaves its port empty",
       {},
       {On("V", "1-1.7")},
       "- V - - - - - - "},
      {"two handsets reported on one socket after a fast swap: the first takes the port, the other waits",
       {},
       {On("OLD", "1-1.1"), On("NEW", "1-1.1")},
       "- - OLD - - - - - "},
      {"the port keeps its unit while it is still on the bus; the new one waits",
       {Ports{{{}, {}, On("OLD", "1-1.1", kPortFinished)}}},
       {On("OLD", "1-1.1"), On("NEW", "1-1.1")},
       "- - OLD - - - - - "},
      {"a mapped port still busy with its previous unit (running, off the bus): the new one waits",
       {Ports{{{}, {}, On("OLD", "1-1.1", kPortRunning, 0)}}},
       {On("NEW", "1-1.1")},
       "- - OLD - - - - - "},
      {"the previous unit gone and its job over: the new one takes the port",
       {Ports{{{}, {}, On("OLD", "1-1.1", kPortFinished)}}},
       {On("NEW", "1-1.1")},
       "- - NEW - - - - - "},
      {"a handset on a mapped socket never takes another port, even when all are free",
       {Ports{{{}, {}, On("OLD", "1-1.1", kPortRunning, 0)}}},
       {On("NEW", "1-1.1"), On("W", "")},
       "- W OLD - - - - - "},
      {"unmapped handsets beyond the free unmapped ports wait",
       {},
       {On("1", ""), On("2", ""), On("3", ""), On("4", ""), On("5", ""), On("6", ""), On("7", "")},
       "- 1 - 2 - 3 4 5 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScanDecision d = DecideScan(c.before, c.found, "", map);
    EXPECT_EQ(Ids(d.ports), c.ids);
    EXPECT_EQ(Ids(DecideScan(d.ports, c.found, "", map).ports), c.ids);  // stable
  }
  // A running job keeps its handset whatever socket it returns on.
  Ports running{};
  running[2] = On("A", "1-1.1", kPortRunning, 0);
  ScanDecision d = DecideScan(running, {On("A", "1-1.6")}, "", map);
  EXPECT_EQ(Ids(d.ports), "- - A - - - - - ");
  EXPECT_EQ(d.ports[2].socketPath, "1-1.6");
  // Without a map: the lowest free port, socket or not.
  EXPECT_EQ(Ids(DecideScan({}, {On("A", "1-1.1"), On("B", "")}, "").ports), "A B - - - - - - ");
}

TEST(AutoStart, StartsNewUnitsOnceUntilTheyLeaveTheBus) {
  AutoStartState state;
  Ports ports{};
  ports[0] = On("A", "1-1.1");
  ports[1] = On("B", "1-1.2", kPortRunning);
  ports[2] = On("C", "1-1.3", kPortIdle, 0);  // bound but not attached
  ports[5] = On("F", "1-1.6");
  EXPECT_EQ(DecideAutoStarts(ports, 8, state), (std::vector<int>{0, 5}));
  EXPECT_EQ(DecideAutoStarts(ports, 4, state), (std::vector<int>{0}));  // only served ports

  // A's job has marked its port finished, but its end is not noted yet:
  // even a record cleared meanwhile does not start it again.
  NoteJobStarted(state, "A");
  Ports cleared = ports;
  cleared[0].state = kPortIdle;
  EXPECT_EQ(DecideAutoStarts(cleared, 1, state), (std::vector<int>{}));
  // A's job ends with A on the bus; its port finished: nothing starts.
  NoteJobEnded(state, "A", true);
  ports[0].state = kPortFinished;
  EXPECT_TRUE(DecideAutoStarts(ports, 1, state).empty());
  // B's job ends while B restarts (off the bus); the port is cleared and B
  // comes back, idle, on its socket's port: not started again.
  NoteJobEnded(state, "B", false);
  ports[1] = PortRecord{};
  EXPECT_TRUE(DecideAutoStarts(ports, 2, state).empty());
  ports[1] = On("B", "1-1.2");
  EXPECT_TRUE(DecideAutoStarts(ports, 2, state).empty());
  // A leaves, a new unit takes socket 1: it starts. B leaves and comes back
  // (replugged): it is a new unit now.
  ports[0] = On("A2", "1-1.1");
  ports[1] = PortRecord{};
  EXPECT_EQ(DecideAutoStarts(ports, 2, state), (std::vector<int>{0}));
  ports[1] = On("B", "1-1.2");
  EXPECT_EQ(DecideAutoStarts(ports, 2, state), (std::vector<int>{0, 1}));
  EXPECT_TRUE(state.finished.empty());

  // The memory is bounded: units that never come back are forgotten oldest first.
  for (size_t i = 0; i < kAutoStartMemory + 3; ++i) NoteJobEnded(state, "X" + std::to_string(i), false);
  EXPECT_EQ(state.finished.size(), kAutoStartMemory);
  EXPECT_EQ(state.finished.front().instanceId, "X3");
}

TEST(PortMapSettings, DropsValuesThatAreNoSocketOrRepeatOne) {
  std::array<std::string, kMappedPorts> values{"1-1.1", "", "1-1.1", "1-1/x", "usb2", std::string(65, '1'),
                                              "2-3.4.1", "1-1.8 "};
  PortMapLoad load = PortMapFromValues(values);
  EXPECT_EQ(load.map, (PortMap{"1-1.1", "", "", "", "usb2", "", "2-3.4.1", ""}));
  ASSERT_EQ(load.problems.size(), 4u);
  EXPECT_EQ(load.problems[0], "port3: 1-1.1 is already port1's; the port is left unmapped");
  EXPECT_EQ(MappedPort(load.map, "2-3.4.1"), 6);
  EXPECT_EQ(MappedPort(load.map, ""), -1);
}

}  // namespace
}  // namespace flashery
