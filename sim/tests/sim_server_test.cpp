// flashery-sim over real Unix sockets, with a small time scale.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "device/sim_wire.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "scripted_station.h"
#include "sim/handset_config.h"
#include "sim_process.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

// The station's side of one connection.
struct Client {
  int fd = -1;
  explicit Client(const std::string& socketPath) : fd(ConnectUnixSocket(socketPath)) {}
  ~Client() { Close(); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool connected() const { return fd >= 0; }
  uint16_t tag = 0;  // of the next request (0: untagged)

  WireIo Send(const Cdb& cdb, DataDirection direction, uint8_t* data, uint32_t length) {
    WireRequestHeader h;
    h.direction = direction;
    h.tag = tag;
    h.dataLength = length;
    h.timeoutMs = 8000;
    std::copy(cdb.begin(), cdb.end(), h.cdb.begin());
    last_ = h;
    return SendWireRequest(fd, h, data, kEventBudgetMs);
  }
  WireIo Read(WireReplyHeader& reply, uint8_t* buffer, int budgetMs = kEventBudgetMs) {
    return ReadWireReply(fd, last_, buffer, reply, budgetMs);
  }
  // One exchange; the SCSI status, or -1 when the exchange failed.
  int Exchange(const Cdb& cdb, DataDirection direction = DataDirection::kNone, uint8_t* data = nullptr,
               uint32_t length = 0) {
    WireReplyHeader reply;
    if (Send(cdb, direction, data, length) != WireIo::kOk) return -1;
    if (Read(reply, direction == DataDirection::kFromDevice ? data : nullptr) != WireIo::kOk) return -1;
    return reply.scsiStatus;
  }
  bool WaitReady() {
    SystemClock clock(0.01);
    for (int i = 0; i < 300; ++i) {
      uint8_t state[4] = {};
      if (Exchange(QueryStateCdb(), DataDirection::kFromDevice, state, 4) != 0) return false;
      if (state[0] == 2) return true;
      clock.SleepMs(400);
    }
    return false;
  }

 private:
  WireRequestHeader last_;
};

// Connects once the handset listens again (it notices a closed connection
// on its own time).
std::unique_ptr<Client> Reconnect(const std::string& socketPath) {
  SystemClock clock(0.01);
  for (int i = 0; i < 2000; ++i) {
    auto c = std::make_unique<Client>(socketPath);
    if (c->connected()) return c;
    clock.SleepMs(100);
  }
  return nullptr;
}

TEST(SimServer, OneConnectionAtATimeAndRestartsLeaveAndRejoinTheBus) {
  flashery::testing::TempDir dir;
  std::string bus = dir / "bus";
  SimProcess sim(bus, {"--count", "2", "--offbus-ms", "3000"});
  ASSERT_EQ(sim.FirstLine(), "ready");
  EXPECT_EQ(*ReadWholeFile(bus + "/sim.ready"), "SIM0001\nSIM0002\n");
  std::string sock1 = SimSocketPath(bus, "SIM0001");
  EXPECT_EQ(*ReadWholeFile(SimIdPath(bus, "SIM0001")),
            InterfacePath("vantor", "T745", "0001", "SIM0001") + "\n");

  auto a = std::make_unique<Client>(sock1);
  ASSERT_TRUE(a->connected());
  EXPECT_EQ(a->Exchange(CheckAliveCdb()), 0);
  // Held: a second opener is refused, the other handset is free.
  EXPECT_EQ(ConnectUnixSocket(sock1), -ECONNREFUSED);
  Client other(SimSocketPath(bus, "SIM0002"));
  ASSERT_TRUE(other.connected());
  EXPECT_EQ(other.Exchange(CheckAliveCdb()), 0);
  a->Close();
  a = Reconnect(sock1);
  ASSERT_TRUE(a);

  // RestartHandset: answered, then the handset leaves the bus and returns.
  FolderWatch watch(bus);
  ASSERT_EQ(a->Exchange(OpenDownloadCdb()), 0);
  ASSERT_TRUE(a->WaitReady());
  ASSERT_EQ(a->Exchange(RestartCdb(false), DataDirection::kFromDevice), 0);
  ASSERT_TRUE(watch.WaitFor(SimIdPath(bus, "SIM0001"), false));
  EXPECT_TRUE(watch.WaitFor(sock1, false));
  EXPECT_EQ(a->Exchange(CheckAliveCdb()), -1);  // the old connection is gone
  ASSERT_TRUE(watch.WaitFor(SimIdPath(bus, "SIM0001"), true));
  a = Reconnect(sock1);
  ASSERT_TRUE(a);
  EXPECT_TRUE(a->WaitReady());
  auto report = ReadWholeFile(bus + "/SIM0001/report.json");
  ASSERT_TRUE(report);
  EXPECT_NE(report->find("\"stage\": \"second\""), std::string::npos);
  EXPECT_NE(report->find("\"restarts\": 1"), std::string::npos);

  // A clean stop takes every handset off the bus.
  a.reset();
  EXPECT_EQ(sim.Stop(SIGTERM), 0);
  for (const char* serial : {"SIM0001", "SIM0002"}) {
    EXPECT_FALSE(PathExists(SimIdPath(bus, serial)));
    EXPECT_FALSE(PathExists(SimSocketPath(bus, serial)));
  }
  EXPECT_FALSE(PathExists(bus + "/sim.ready"));
  report = ReadWholeFile(bus + "/SIM0001/report.json");
  EXPECT_NE(report->find("\"onBus\": false"), std::string::npos);
  EXPECT_NE(report->find("\"rejected\": []"), std::string::npos);
}

TEST(SimServer, FaultsShowOnTheWireOnlyOnTheFaultyHandset) {
  flashery::testing::TempDir dir;
  std::string bus = dir / "bus";
  SimProcess sim(bus, {"--count=2", "--faulty=2", "--late", "CheckAlive", "--drop-at-block", "1",
                       "--other-serial"});
  ASSERT_EQ(sim.FirstLine(), "ready");
  Client good(SimSocketPath(bus, "SIM0001"));
  EXPECT_EQ(good.Exchange(CheckAliveCdb()), 0);

  auto bad = std::make_unique<Client>(SimSocketPath(bus, "SIM0002"));
  // The late answer misses the station's time-out as its socket transport
  // waits for it at this scale, and still arrives afterwards.
  WireReplyHeader reply;
  ASSERT_EQ(bad->Send(CheckAliveCdb(), DataDirection::kNone, nullptr, 0), WireIo::kOk);
  EXPECT_EQ(bad->Read(reply, nullptr, SimRealTimeoutMs(8000, 0.01)), WireIo::kTimeout);
  ASSERT_EQ(bad->Read(reply, nullptr), WireIo::kOk);
  EXPECT_EQ(reply.scsiStatus, 2);

  // The first WriteBlock closes the connection without an answer.
  ASSERT_EQ(bad->Exchange(OpenDownloadCdb()), 0);
  ASSERT_TRUE(bad->WaitReady());
  ASSERT_EQ(bad->Exchange(BeginImageCdb(1, 16)), 0);
  Bytes block = Pattern(16, 1);
  ASSERT_EQ(bad->Send(ImageBlockCdb(block.data(), 16, true), DataDirection::kToDevice, block.data(), 16),
            WireIo::kOk);
  EXPECT_EQ(bad->Read(reply, nullptr), WireIo::kClosed);

  // After a restart it comes back under another serial.
  FolderWatch watch(bus);
  bad = Reconnect(SimSocketPath(bus, "SIM0002"));
  ASSERT_TRUE(bad);
  ASSERT_TRUE(bad->WaitReady());
  ASSERT_EQ(bad->Exchange(RestartCdb(true), DataDirection::kFromDevice), 0);
  ASSERT_TRUE(watch.WaitFor(SimIdPath(bus, "SIM0002-R1"), true));
  EXPECT_FALSE(PathExists(SimIdPath(bus, "SIM0002")));
  EXPECT_NE(ReadWholeFile(SimIdPath(bus, "SIM0002-R1"))->find("#SIM0002-R1&0#"), std::string::npos);
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  EXPECT_FALSE(PathExists(SimIdPath(bus, "SIM0002-R1")));
  auto report = ReadWholeFile(bus + "/SIM0002/report.json");
  ASSERT_TRUE(report);
  EXPECT_NE(report->find("\"rejected\": []"), std::string::npos);
  EXPECT_NE(report->find("connection dropped"), std::string::npos);
}

TEST(SimServer, TagsAreEchoedAndALateAnswerGoesOutWhenTheNextRequestComes) {
  flashery::testing::TempDir dir;
  std::string bus = dir / "bus";
  // At full time scale the late answer's own delay is over 10 s.
  SimProcess sim(bus, {"--late", "CheckAlive"}, "1");
  ASSERT_EQ(sim.FirstLine(), "ready");
  Client c(SimSocketPath(bus, "SIM0001"));
  c.tag = 0x0101;
  ASSERT_EQ(c.Send(CheckAliveCdb(), DataDirection::kNone, nullptr, 0), WireIo::kOk);
  c.tag = 0x0202;
  ASSERT_EQ(c.Send(CheckAliveCdb(), DataDirection::kNone, nullptr, 0), WireIo::kOk);
  uint8_t replies[16] = {};
  ASSERT_EQ(ReadAll(c.fd, replies, sizeof replies, 5000), WireIo::kOk);
  const uint8_t expected[16] = {2, 0, 1, 1, 0, 0, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0};
  EXPECT_TRUE(std::equal(replies, replies + 16, expected));
}

TEST(SimServer, ASilentHandsetStaysOnTheBusHoldsItsConnectionAndNeverAnswers) {
  flashery::testing::TempDir dir;
  std::string bus = dir / "bus";
  SimProcess sim(bus, {"--count=2", "--faulty=2", "--silent"});
  ASSERT_EQ(sim.FirstLine(), "ready");
  Client good(SimSocketPath(bus, "SIM0001"));
  EXPECT_EQ(good.Exchange(CheckAliveCdb()), 0);
  std::string sock = SimSocketPath(bus, "SIM0002");
  auto c = std::make_unique<Client>(sock);
  ASSERT_TRUE(c->connected());
  WireReplyHeader reply;
  uint8_t state[4] = {};
  for (uint16_t tag : {1, 2}) {
    c->tag = tag;
    ASSERT_EQ(c->Send(QueryStateCdb(), DataDirection::kFromDevice, state, 4), WireIo::kOk);
    EXPECT_EQ(c->Read(reply, state, 300), WireIo::kTimeout);
  }
  EXPECT_EQ(ConnectUnixSocket(sock), -ECONNREFUSED);  // still held
  EXPECT_TRUE(PathExists(SimIdPath(bus, "SIM0002")));
  c->Close();
  c = Reconnect(sock);
  ASSERT_TRUE(c);
  ASSERT_EQ(c->Send(CheckAliveCdb(), DataDirection::kNone, nullptr, 0), WireIo::kOk);
  EXPECT_EQ(c->Read(reply, nullptr, 300), WireIo::kTimeout);
  c.reset();
  EXPECT_EQ(sim.Stop(), 0);
  auto report = ReadWholeFile(bus + "/SIM0002/report.json").value_or("");
  EXPECT_NE(report.find("silent"), std::string::npos);
  EXPECT_NE(report.find("not answered"), std::string::npos);
}

TEST(SimServer, AHostilePeerLosesOnlyItsConnection) {
  flashery::testing::TempDir dir;
  std::string bus = dir / "bus";
  SimProcess sim(bus, {});
  ASSERT_EQ(sim.FirstLine(), "ready");
  std::string sock = SimSocketPath(bus, "SIM0001");
  {
    Client c(sock);
    WireRequestHeader h;
    WireRequestBytes bytes = EncodeRequestHeader(h);
    bytes[1] = 15;  // cdbLength must be 16
    ASSERT_EQ(WriteAll(c.fd, bytes.data(), bytes.size(), kEventBudgetMs), WireIo::kOk);
    uint8_t reply[8];
    EXPECT_EQ(ReadAll(c.fd, reply, sizeof reply, kEventBudgetMs), WireIo::kClosed);
  }
  auto c = Reconnect(sock);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->Exchange(CheckAliveCdb()), 0);
  // A command the handset does not know is refused with check condition.
  EXPECT_EQ(c->Exchange(Vendor(9, 9)), 2);
  c.reset();
  EXPECT_EQ(sim.Stop(), 0);
  auto report = ReadWholeFile(bus + "/SIM0001/report.json");
  EXPECT_NE(report->find("unknown command group 09"), std::string::npos);
}

TEST(SimServer, UsageErrorsAndHelp) {
  flashery::testing::TempDir dir;
  SimProcess help(dir / "bus", {"--help"});
  EXPECT_EQ(help.FirstLine(), "usage: flashery-sim --dir DIR [options]");
  EXPECT_EQ(help.Wait(), 0);
  SimProcess tooLong(dir / std::string(120, 'd'), {});
  EXPECT_EQ(tooLong.Wait(), 2);
}

}  // namespace
}  // namespace flashery::sim
