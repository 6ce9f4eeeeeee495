#include "device/port_binding.h"

#include <gtest/gtest.h>

#include <string>

namespace flashery {
namespace {

PortRecord Found(const std::string& id, const std::string& node = "") {
  PortRecord r;
  r.instanceId = id;
  r.productText = "quillon_t745";
  r.devicePath = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#" + id + "&0#{x}";
  r.openPath = node.empty() ? "/dev/sg-" + id : node;
  r.attached = 1;
  return r;
}

PortRecord Port(const std::string& id, uint32_t state, uint32_t attached = 1,
                const std::string& node = "") {
  PortRecord r = Found(id, node);
  r.state = state;
  r.attached = attached;
  return r;
}

using Ports = std::array<PortRecord, kPortCount>;

std::vector<int> Connected(const ScanDecision& d) {
  std::vector<int> out;
  for (const PanelUpdate& u : d.panels)
    if (u.connected) out.push_back(u.port);
  return out;
}
std::vector<int> Empty(const ScanDecision& d) {
  std::vector<int> out;
  for (const PanelUpdate& u : d.panels)
    if (!u.connected) out.push_back(u.port);
  return out;
}
std::string Ids(const ScanDecision& d) {
  std::string s;
  for (const PortRecord& p : d.ports) s += (p.bound() ? p.instanceId : "-") + " ";
  return s;
}

TEST(PortBinding, NewHandsetsTakeTheLowestIdleEmptyPortsInBusOrder) {
  Ports ports{};
  ports[0] = Port("R", kPortRunning, 0);  // running, its handset restarting
  ports[2] = Port("B", kPortIdle);
  ScanDecision d = DecideScan(ports, {Found("B"), Found("C"), Found("D")});
  EXPECT_EQ(Ids(d), "R C B D - - - - ");
  EXPECT_EQ(Connected(d), (std::vector<int>{1, 3}));
  EXPECT_EQ(Empty(d), (std::vector<int>{4, 5, 6, 7}));
  EXPECT_EQ(d.ports[1], Found("C"));
  EXPECT_EQ(d.ports[1].state, kPortIdle);
  EXPECT_EQ(d.ports[0].attached, 0u);
  EXPECT_EQ(d.connectedCount, 3u);
  EXPECT_EQ(d.refreshedRunning, 0);

  // The next scan with the same handsets changes nothing and reports no
  // new connection.
  ScanDecision again = DecideScan(d.ports, {Found("B"), Found("C"), Found("D")});
  EXPECT_EQ(again.ports, d.ports);
  EXPECT_TRUE(Connected(again).empty());
}

TEST(PortBinding, VanishedHandsetsClearIdleAndFinishedPortsButNotRunningOnes) {
  Ports ports{};
  ports[0] = Port("A", kPortIdle);
  ports[1] = Port("B", kPortRunning);
  ports[2] = Port("C", kPortFinished);
  ports[3] = Port("D", kPortFinished);  // finished, handset stays
  ScanDecision d = DecideScan(ports, {Found("D")});
  EXPECT_EQ(Ids(d), "- B - D - - - - ");
  EXPECT_EQ(d.ports[0], PortRecord{});
  EXPECT_EQ(d.ports[1].state, kPortRunning);
  EXPECT_EQ(d.ports[1].attached, 0u);
  EXPECT_EQ(d.ports[1].devicePath, ports[1].devicePath);
  EXPECT_EQ(d.ports[3], ports[3]);
  EXPECT_EQ(Empty(d), (std::vector<int>{0, 2, 4, 5, 6, 7}));
  EXPECT_EQ(d.connectedCount, 1u);

  // Nothing on the bus (or an unreadable bus): idle ports clear, running
  // ones are only detached.
  d = DecideScan(ports, {});
  EXPECT_EQ(Ids(d), "- B - - - - - - ");
  EXPECT_EQ(d.connectedCount, 0u);
}

TEST(PortBinding, ARunningPortKeepsItsHandsetAcrossRestarts) {
  Ports ports{};
  ports[4] = Port("A", kPortRunning, 0, "/dev/sg3");
  // It comes back under a new node while port 0 is free: it goes back to
  // its own port, refreshed, still running.
  ScanDecision d = DecideScan(ports, {Found("A", "/dev/sg7")});
  EXPECT_EQ(Ids(d), "- - - - A - - - ");
  EXPECT_EQ(d.ports[4].openPath, "/dev/sg7");
  EXPECT_EQ(d.ports[4].attached, 1u);
  EXPECT_EQ(d.ports[4].state, kPortRunning);
  EXPECT_EQ(d.refreshedRunning, 1);
  EXPECT_TRUE(Connected(d).empty());

  // It came back between two scans without ever being seen gone: the new
  // node is taken all the same.
  ScanDecision quick = DecideScan(d.ports, {Found("A", "/dev/sg9")});
  EXPECT_EQ(quick.ports[4].openPath, "/dev/sg9");
  EXPECT_EQ(quick.ports[4].state, kPortRunning);
  EXPECT_EQ(quick.refreshedRunning, 1);

  // Coming back with another identity, it is a new handset: the job's
  // port stays detached and the newcomer takes the lowest free port.
  ports[4] = Port("A", kPortRunning, 0);
  d = DecideScan(ports, {Found("Z")});
  EXPECT_EQ(Ids(d), "Z - - - A - - - ");
  EXPECT_EQ(d.ports[4].attached, 0u);

  // A job that ended while its handset was away gets the handset back on
  // its own port, not on a second one.
  ports[4] = Port("A", kPortFinished, 0, "/dev/sg3");
  d = DecideScan(ports, {Found("A", "/dev/sg5")});
  EXPECT_EQ(Ids(d), "- - - - A - - - ");
  EXPECT_EQ(d.ports[4].attached, 1u);
  EXPECT_EQ(d.ports[4].state, kPortFinished);
  EXPECT_EQ(d.ports[4].openPath, "/dev/sg5");
  EXPECT_EQ(d.refreshedRunning, 0);
}

TEST(PortBinding, MoreHandsetsThanPortsAndDuplicateOrNamelessOnes) {
  std::vector<PortRecord> nine;
  for (char c = 'a'; c <= 'i'; ++c) nine.push_back(Found(std::string(1, c)));
  ScanDecision d = DecideScan(Ports{}, nine);
  EXPECT_EQ(Ids(d), "a b c d e f g h ");
  EXPECT_EQ(d.connectedCount, 8u);

  // The ninth now enumerates first: no bound handset looks gone because
  // of it, and it keeps waiting for a free port.
  std::vector<PortRecord> reordered = {Found("i")};
  reordered.insert(reordered.end(), nine.begin(), nine.end() - 1);
  for (auto& p : d.ports) p.state = kPortRunning;
  ScanDecision next = DecideScan(d.ports, reordered);
  EXPECT_EQ(next.ports, d.ports);
  // A port frees up: the waiting handset takes it.
  next.ports[2].state = kPortIdle;
  std::vector<PortRecord> withoutC;
  for (const auto& f : reordered)
    if (f.instanceId != "c") withoutC.push_back(f);
  ScanDecision freed = DecideScan(next.ports, withoutC);
  EXPECT_EQ(Ids(freed), "a b i d e f g h ");
  EXPECT_EQ(Connected(freed), std::vector<int>{2});

  // Two handsets with one identity: only one port is bound to it. A
  // handset without an identity is never bound.
  d = DecideScan(Ports{}, {Found("dup", "/dev/sg1"), Found(""), Found("dup", "/dev/sg2"),
                           Found("x")});
  EXPECT_EQ(Ids(d), "dup x - - - - - - ");
  EXPECT_EQ(d.ports[0].openPath, "/dev/sg1");
  EXPECT_EQ(d.connectedCount, 4u);
  ScanDecision same = DecideScan(d.ports, {Found("dup", "/dev/sg1"), Found(""),
                                           Found("dup", "/dev/sg2"), Found("x")});
  EXPECT_EQ(same.ports, d.ports);  // it does not flip to the other one
}

}  // namespace
}  // namespace flashery
