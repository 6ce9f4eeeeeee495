#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "device/bus_factory.h"
#include "device/sim_bus.h"
#include "device/sim_transport.h"
#include "device/sim_wire.h"
#include "device/sysfs_bus.h"
#include "device/handset_path.h"
#include "device/tests/fake_sg_calls.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

// The parts of a sysfs tree the bus reads: node sgN whose SCSI device sits
// below a USB interface "usb/usb:1.0" (or an ATA host when usb is empty),
// with its inquiry strings and the USB device's serial.
struct FakeSysfs {
  std::string root;
  void Add(int n, const std::string& usb, const std::string& interfaceClass,
           const std::string& vendor, const char* serial = nullptr) {
    std::string dev = root + "/devices/pci0/" + usb;
    std::string parent = usb.empty() ? root + "/devices/pci0/ata1" : dev + "/" + usb + ":1.0";
    std::string scsi = parent + "/host" + std::to_string(n) + "/" + std::to_string(n) + ":0:0:0";
    MakeDirectories(scsi);
    if (!usb.empty()) WriteWholeFile(parent + "/bInterfaceClass", interfaceClass + "\n");
    if (serial) WriteWholeFile(dev + "/serial", std::string(serial) + "\n");
    WriteWholeFile(scsi + "/vendor", vendor + "  \n");
    WriteWholeFile(scsi + "/model", "Quillon T745    \n");
    WriteWholeFile(scsi + "/rev", "0001\n");
    Link(n, scsi);
    // The node's own folder, where /sys/dev/char/21:N leads.
    std::string node = scsi + "/scsi_generic/sg" + std::to_string(n);
    MakeDirectories(node);
    MakeDirectories(root + "/dev/char");
    EXPECT_EQ(::symlink(node.c_str(), (root + "/dev/char/21:" + std::to_string(n)).c_str()), 0);
  }
  void Link(int n, const std::string& target) {
    std::string node = root + "/class/scsi_generic/sg" + std::to_string(n);
    MakeDirectories(node);
    EXPECT_EQ(::symlink(target.c_str(), (node + "/device").c_str()), 0);
  }
};

const std::string kHead = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#";
const std::string kTail = "&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(SysfsBus, ListsTheMakersUsbHandsetsInNodeOrder) {
  testing::TempDir dir;
  FakeSysfs sys{dir / "sys"};
  sys.Add(10, "1-2.3", "08", "Vantor");  // no USB serial
  sys.Add(2, "1-1", "08", "VANTOR", "0123456789ABCDEF");
  sys.Add(0, "", "", "Vantor");                     // an internal disk
  sys.Add(1, "1-4", "03", "Vantor", "HID");         // not mass storage
  sys.Add(3, "1-5", "08", "SanDisk", "4C530001");   // another maker
  sys.Add(11, "1-6", "08", "Vantor", "\r\t");       // a serial of blanks only
  sys.Link(4, dir / "sys/devices/gone");            // a dangling node
  MakeDirectories(dir / "sys/class/scsi_generic/sgx");

  SysfsBus bus(dir / "sys", "/devroot");
  std::vector<BusEntry> entries = bus.List();
  ASSERT_EQ(entries.size(), 3u);
  // The socket path is the USB device folder's name.
  EXPECT_EQ(entries[0], (BusEntry{kHead + "0123456789abcdef" + kTail, "/devroot/sg2", "1-1"}));
  // Without a USB serial the handset is named by its USB port.
  EXPECT_EQ(entries[1], (BusEntry{kHead + "port_1-2.3" + kTail, "/devroot/sg10", "1-2.3"}));
  EXPECT_EQ(entries[2], (BusEntry{kHead + "port_1-6" + kTail, "/devroot/sg11", "1-6"}));
  EXPECT_EQ(bus.Resolve(entries[1].interfacePath), "/devroot/sg10");
  EXPECT_FALSE(bus.Resolve(kHead + "other" + kTail));
  EXPECT_NE(dynamic_cast<SgIoTransport*>(bus.NewTransport().get()), nullptr);

  for (int n = 20; n < 40; ++n) sys.Add(n, "2-" + std::to_string(n), "08", "Vantor", "S");
  EXPECT_EQ(bus.List().size(), kMaxBusEntries);
  EXPECT_TRUE(SysfsBus(dir / "nothing").List().empty());
}

TEST(SysfsBus, AnOpenedNodeMustStillBelongToTheRecordsHandset) {
  testing::TempDir dir;
  FakeSysfs sys{dir / "sys"};
  const std::string longSerial(40, 'Q');
  sys.Add(2, "1-1", "08", "Vantor", "0123456789ABCDEF");
  sys.Add(3, "1-3", "08", "Vantor", longSerial.c_str());
  sys.Add(10, "1-2.3", "08", "Vantor");  // no USB serial
  sys.Add(0, "", "", "Vantor");          // an internal disk
  sys.Add(1, "1-4", "03", "Vantor", "HID");
  EXPECT_EQ(::symlink("/", (dir / "sys/dev/char/21:7").c_str()), 0);  // leads outside

  testing::FakeSgCalls calls;
  SysfsBus bus(dir / "sys", "/devroot", calls);
  std::vector<BusEntry> entries = bus.List();
  ASSERT_EQ(entries.size(), 3u);
  // What a record of this bus names its handset by.
  auto id = [&](size_t i) { return ParseHandsetPath(entries[i].interfacePath).instanceId; };
  struct Case {
    unsigned minor;
    std::string instanceId;
    int errorCode;  // 0: opened
  };
  const Case cases[] = {
      {2, id(0), 0},
      {3, id(1), 0},                    // a serial longer than an instance id
      {10, id(2), 0},                   // named by its USB port
      {2, id(1), ESTALE},               // the node now belongs to another handset
      {10, "0123456789abcdef", ESTALE},
      {0, id(0), ENODEV},               // not a USB handset
      {1, id(0), ENODEV},               // not mass storage
      {7, id(0), ENODEV},
      {99, id(0), ENODEV},              // no such node
      {99, "", 0},                      // no identity asked for: not checked
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.minor) + " " + c.instanceId);
    calls.minor = c.minor;
    calls.closed.clear();
    std::unique_ptr<Transport> t = bus.NewTransport();
    OpenResult r = t->OpenHandset("/devroot/sg" + std::to_string(c.minor), c.instanceId);
    EXPECT_EQ(r.ok, c.errorCode == 0);
    EXPECT_EQ(r.errorCode, c.errorCode);
    EXPECT_EQ(t->IsOpen(), c.errorCode == 0);
    EXPECT_EQ(calls.closed.size(), c.errorCode == 0 ? 0u : 1u);  // a refused node is closed
  }
  calls.minor = 2;
  calls.deviceNumberError = ENOTTY;  // not a character device at all
  EXPECT_EQ(bus.NewTransport()->OpenHandset("/devroot/sg2", id(0)).errorCode, ENOTTY);
}

void MakeSocket(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
  EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
  ::close(fd);
}

TEST(SimBus, ListsHandsetsWhoseIdAndSocketArePresent) {
  testing::TempDir dir;
  auto add = [&](const std::string& serial, const std::string& idText, bool socket) {
    if (!idText.empty()) WriteWholeFile(SimIdPath(dir.path(), serial), idText);
    if (socket) MakeSocket(SimSocketPath(dir.path(), serial));
  };
  const std::string a = kHead + "aaaa" + kTail, d = kHead + "dddd" + kTail;
  add("A", a + "\n", true);
  add("d", "  " + d + " \r\nsecond line\r\n", true);
  add("B", a, false);                      // joining: no socket yet
  add("C", "\n", true);                    // an empty line
  add("E", std::string(300, 'x'), true);   // overlong
  add("G", "", true);                      // leaving: its id already gone
  WriteWholeFile(dir / "bad name.id", a);  // not a serial
  WriteWholeFile(SimSocketPath(dir.path(), "F"), "");  // a plain file, not a socket
  add("F", a, false);

  // The socket path from SERIAL.usb: first line trimmed; anything that is
  // not a plausible socket path leaves it unknown.
  WriteWholeFile(dir / "A.usb", " 1-1.3 \r\nmore\n");
  WriteWholeFile(dir / "d.usb", "1-1/../../x\n");

  SimBus bus(dir.path(), 0.5);
  EXPECT_EQ(bus.List(), (std::vector<BusEntry>{{a, SimSocketPath(dir.path(), "A"), "1-1.3"},
                                               {d, SimSocketPath(dir.path(), "d"), ""}}));
  EXPECT_NE(dynamic_cast<SimSocketTransport*>(bus.NewTransport().get()), nullptr);
  EXPECT_TRUE(SimBus(dir / "missing").List().empty());
}

TEST(BusFactory, PicksTheBusFromOptionEnvironmentOrDefault) {
  struct Case {
    const char* option;
    const char* env;
    const char* simDir;  // null: sysfs; "!": refused
  };
  const Case cases[] = {{"", nullptr, nullptr},        {"", "", nullptr},
                        {"", "sysfs", nullptr},        {"", "sim:/run/s", "/run/s"},
                        {"/opt/s", "sim:/x", "/opt/s"}, {"/opt/s", "bogus", "/opt/s"},
                        {"", "sim:", "!"},             {"", "usb", "!"}};
  for (const Case& c : cases) {
    BusChoice choice = ChooseBus(c.option, c.env);
    SCOPED_TRACE(std::string(c.option) + " | " + (c.env ? c.env : "(unset)"));
    auto bus = MakeHandsetBus(choice);
    if (c.simDir && std::string(c.simDir) == "!") {
      EXPECT_FALSE(choice.ok || choice.error.empty() || bus);
    } else if (c.simDir) {
      auto* sim = dynamic_cast<SimBus*>(bus.get());
      ASSERT_NE(sim, nullptr);
      EXPECT_EQ(sim->dir(), c.simDir);
    } else {
      EXPECT_NE(dynamic_cast<SysfsBus*>(bus.get()), nullptr);
    }
  }
}

}  // namespace
}  // namespace flashery
