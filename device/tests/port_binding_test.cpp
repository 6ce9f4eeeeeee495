#include "device/port_binding.h"

#include <gtest/gtest.h>

#include <string>

namespace flashery {
namespace {

PortRecord Rec(const std::string& id, uint32_t state = kPortIdle, uint32_t attached = 1,
               const std::string& node = "", const std::string& model = "t745") {
  PortRecord r;
  r.instanceId = id;
  r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_" + model + "&rev_0001#" + id + "&0#{x}";
  r.openPath = node.empty() ? "/dev/sg-" + id : node;
  r.state = state;
  r.attached = attached;
  return r;
}

using Ports = std::array<PortRecord, kPortCount>;

// "id" per port ("-" when empty), "*" marks a detached record.
std::string Ids(const ScanDecision& d) {
  std::string s;
  for (const PortRecord& p : d.ports)
    s += (p.bound() ? p.instanceId : "-") + (p.bound() && !p.attached ? "*" : "") + " ";
  return s;
}
std::string Panels(const ScanDecision& d) {
  std::string s;
  for (const PanelUpdate& u : d.panels) s += std::to_string(u.port) + (u.connected ? "+" : "-");
  return s;
}

TEST(PortBinding, NewHandsetsTakeIdleEmptyPortsAndVanishedOnesFreeThem) {
  Ports ports{};
  ports[0] = Rec("R", kPortRunning, 0);  // a job runs, its handset restarting
  ports[2] = Rec("B");
  ScanDecision d = DecideScan(ports, {Rec("B"), Rec("C"), Rec("D")}, "");
  EXPECT_EQ(Ids(d), "R* C B D - - - - ");
  EXPECT_EQ(Panels(d), "1+3+4-5-6-7-");
  EXPECT_EQ(d.ports[1], Rec("C"));
  EXPECT_EQ(d.connectedCount, 3u);
  ScanDecision again = DecideScan(d.ports, {Rec("B"), Rec("C"), Rec("D")}, "");
  EXPECT_EQ(again.ports, d.ports);
  EXPECT_EQ(Panels(again), "4-5-6-7-");  // no second "connected"

  // Gone: idle and finished ports are cleared, a running one only detached;
  // a finished port whose handset stays keeps its record.
  ports = {Rec("A"), Rec("B", kPortRunning), Rec("C", kPortFinished), Rec("D", kPortFinished)};
  d = DecideScan(ports, {Rec("D")}, "");
  EXPECT_EQ(Ids(d), "- B* - D - - - - ");
  EXPECT_EQ(d.ports[1].devicePath, ports[1].devicePath);
  EXPECT_EQ(d.ports[3], ports[3]);
  EXPECT_EQ(d.ports[0], PortRecord{});
  EXPECT_EQ(Ids(DecideScan(ports, {}, "")), "- B* - - - - - - ");  // nothing (or no bus) at all
}

TEST(PortBinding, ARunningPortKeepsItsHandsetAcrossRestarts) {
  Ports ports{};
  ports[4] = Rec("A", kPortRunning, 0, "/dev/sg3");
  // Back under a new node while port 0 is free: its own port, refreshed.
  ScanDecision d = DecideScan(ports, {Rec("A", kPortIdle, 1, "/dev/sg7")}, "");
  EXPECT_EQ(Ids(d), "- - - - A - - - ");
  EXPECT_EQ(d.ports[4].openPath, "/dev/sg7");
  EXPECT_EQ(d.ports[4].state, kPortRunning);
  EXPECT_EQ(d.refreshedRunning, 1);
  // Back between two scans, never seen gone: the new node is taken too.
  ScanDecision quick = DecideScan(d.ports, {Rec("A", kPortIdle, 1, "/dev/sg9")}, "");
  EXPECT_EQ(quick.ports[4].openPath, "/dev/sg9");
  EXPECT_EQ(quick.refreshedRunning, 1);
  // Back with another identity: a new handset; the job's port stays detached.
  EXPECT_EQ(Ids(DecideScan(ports, {Rec("Z")}, "")), "Z - - - A* - - - ");
  // A job that ended while its handset was away gets it back on its own
  // port, not on a second one.
  ports[4] = Rec("A", kPortFinished, 0, "/dev/sg3");
  d = DecideScan(ports, {Rec("A", kPortIdle, 1, "/dev/sg5")}, "");
  EXPECT_EQ(Ids(d), "- - - - A - - - ");
  EXPECT_EQ(d.ports[4].state, kPortFinished);
  EXPECT_EQ(d.refreshedRunning, 0);
}

TEST(PortBinding, MoreHandsetsThanPortsAndDuplicateOrNamelessOnes) {
  std::vector<PortRecord> nine;
  for (char c = 'a'; c <= 'i'; ++c) nine.push_back(Rec(std::string(1, c), kPortIdle));
  ScanDecision d = DecideScan(Ports{}, nine, "");
  EXPECT_EQ(Ids(d), "a b c d e f g h ");
  EXPECT_EQ(d.connectedCount, 8u);
  // The ninth now comes first on the bus: no bound handset looks gone.
  std::rotate(nine.begin(), nine.end() - 1, nine.end());
  for (auto& p : d.ports) p.state = kPortRunning;
  ScanDecision next = DecideScan(d.ports, nine, "");
  EXPECT_EQ(next.ports, d.ports);
  // A port frees up: the waiting handset takes it.
  next.ports[2].state = kPortIdle;
  nine.erase(nine.begin() + 3);  // "c"
  ScanDecision freed = DecideScan(next.ports, nine, "");
  EXPECT_EQ(Ids(freed), "a b i d e f g h ");
  EXPECT_EQ(Panels(freed), "2+");

  // One identity on two handsets binds one port, and keeps it from
  // flipping between them; a handset without identity is never bound.
  std::vector<PortRecord> found = {Rec("dup", 0, 1, "/dev/sg1"), Rec(""),
                                   Rec("dup", 0, 1, "/dev/sg2"), Rec("x")};
  d = DecideScan(Ports{}, found, "");
  EXPECT_EQ(Ids(d), "dup x - - - - - - ");
  EXPECT_EQ(DecideScan(d.ports, found, "").ports, d.ports);
  EXPECT_EQ(d.ports[0].openPath, "/dev/sg1");
}

// The model filter binds new handsets only: a port whose job runs keeps its
// handset of another model, also across the handset's restarts.
TEST(PortBinding, TheModelFilterNeverTakesARunningPortsHandset) {
  const auto other = [](const std::string& id, uint32_t state = kPortIdle, uint32_t attached = 1,
                        const std::string& node = "") { return Rec(id, state, attached, node, "t800"); };
  struct Case {
    const char* name;
    Ports ports;
    std::vector<PortRecord> found;
    const char* ids;
    uint32_t connected;
  };
  const Case cases[] = {
      {"a running port keeps its handset of the old model",
       {Rec("A", kPortRunning), Rec("B", kPortRunning)}, {Rec("A"), Rec("B")}, "A B - - - - - - ", 2},
      {"and gets it back after a restart", {Rec("A", kPortRunning, 0, "/dev/sg1")},
       {Rec("A", kPortIdle, 1, "/dev/sg4")}, "A - - - - - - - ", 1},
      {"idle and finished ports let a handset of the old model go",
       {Rec("A"), Rec("B", kPortFinished), Rec("C", kPortFinished, 0)}, {Rec("A"), Rec("B"), Rec("C")},
       "- - - - - - - - ", 0},
      {"new handsets: only those of the model are bound", {}, {Rec("A"), other("N"), Rec("C")},
       "N - - - - - - - ", 1},
      {"a running port of the new model as usual", {other("N", kPortRunning, 0)}, {other("N"), Rec("A")},
       "N - - - - - - - ", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScanDecision d = DecideScan(c.ports, c.found, "T800");
    EXPECT_EQ(Ids(d), c.ids);
    EXPECT_EQ(d.connectedCount, c.connected);
    for (size_t i = 0; i < kPortCount; ++i)
      if (c.ports[i].state == kPortRunning) {
        EXPECT_EQ(d.ports[i].attached, 1u);
        EXPECT_EQ(d.ports[i].state, kPortRunning);
      }
  }
  // The restarted handset's fresh record is taken (its new node).
  Ports ports{Rec("A", kPortRunning, 0, "/dev/sg1")};
  ScanDecision d = DecideScan(ports, {Rec("A", kPortIdle, 1, "/dev/sg4")}, "T800");
  EXPECT_EQ(d.ports[0].openPath, "/dev/sg4");
  EXPECT_EQ(d.refreshedRunning, 1);
  // Once its job has ended, the next scan lets it go.
  d.ports[0].state = kPortFinished;
  EXPECT_EQ(Ids(DecideScan(d.ports, {Rec("A", kPortIdle, 1, "/dev/sg4")}, "T800")), "- - - - - - - - ");
}

}  // namespace
}  // namespace flashery
