#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "device/bus_factory.h"
#include "device/sg_io_transport.h"
#include "device/sim_bus.h"
#include "device/sim_transport.h"
#include "device/sim_wire.h"
#include "device/sysfs_bus.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

// Builds the parts of a sysfs tree the bus reads.
class FakeSysfs {
 public:
  explicit FakeSysfs(const std::string& root) : root_(root) {
    MakeDirectories(root_ + "/class/scsi_generic");
  }
  // A USB device `usbName` with one interface of `interfaceClass` whose
  // SCSI device is node sgN.
  void AddUsbDisk(int n, const std::string& usbName, const std::string& interfaceClass,
                  const std::string& vendor, const std::string& model, const char* serial) {
    std::string usb = root_ + "/devices/pci0000:00/usb1/" + usbName;
    std::string iface = usb + "/" + usbName + ":1.0";
    std::string scsi = iface + "/host" + std::to_string(n) + "/target" + std::to_string(n) +
                       ":0:0/" + std::to_string(n) + ":0:0:0";
    MakeDirectories(scsi);
    if (serial) WriteWholeFile(usb + "/serial", std::string(serial) + "\n");
    WriteWholeFile(iface + "/bInterfaceClass", interfaceClass + "\n");
    WriteScsi(scsi, vendor, model);
    Link(n, scsi);
  }
  // A SCSI disk that sits on no USB interface.
  void AddInternalDisk(int n) {
    std::string scsi = root_ + "/devices/pci0000:00/ata1/host0/target0:0:0/0:0:0:" +
                       std::to_string(n);
    MakeDirectories(scsi);
    WriteScsi(scsi, "Vantor", "Quillon T745");
    Link(n, scsi);
  }
  void AddDanglingNode(int n) { Link(n, root_ + "/devices/gone"); }

 private:
  void WriteScsi(const std::string& scsi, const std::string& vendor, const std::string& model) {
    WriteWholeFile(scsi + "/vendor", vendor + "\n");
    WriteWholeFile(scsi + "/model", model + "\n");
    WriteWholeFile(scsi + "/rev", "0001\n");
  }
  void Link(int n, const std::string& target) {
    std::string node = root_ + "/class/scsi_generic/sg" + std::to_string(n);
    MakeDirectories(node);
    EXPECT_EQ(::symlink(target.c_str(), (node + "/device").c_str()), 0);
  }
  std::string root_;
};

const std::string kTail = "&0#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

TEST(SysfsBus, ListsTheMakersUsbHandsetsInNodeOrder) {
  testing::TempDir dir;
  FakeSysfs sys(dir / "sys");
  sys.AddUsbDisk(10, "1-2.3", "08", "Vantor  ", "Quillon T745    ", nullptr);
  sys.AddUsbDisk(2, "1-1", "08", "VANTOR", "QUILLON T745", "0123456789ABCDEF");
  sys.AddInternalDisk(0);
  sys.AddUsbDisk(1, "1-4", "03", "Vantor", "Quillon T745", "HID");       // not storage
  sys.AddUsbDisk(3, "1-5", "08", "SanDisk", "Cruzer Blade", "4C530001");  // other maker
  sys.AddDanglingNode(4);
  MakeDirectories(dir / "sys/class/scsi_generic/sgx");

  SysfsBus bus(dir / "sys", "/devroot");
  std::vector<BusEntry> entries = bus.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].interfacePath,
            "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#0123456789abcdef" + kTail);
  EXPECT_EQ(entries[0].openPath, "/devroot/sg2");
  // Without a USB serial the handset is named by its USB port.
  EXPECT_EQ(entries[1].interfacePath,
            "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#port_1-2.3" + kTail);
  EXPECT_EQ(entries[1].openPath, "/devroot/sg10");
  EXPECT_EQ(bus.Resolve(entries[1].interfacePath), "/devroot/sg10");
  EXPECT_FALSE(bus.Resolve("\\\\?\\usbstor#other"));
  EXPECT_NE(dynamic_cast<SgIoTransport*>(bus.NewTransport().get()), nullptr);

  // At most 16 entries; an unreadable root gives none.
  for (int n = 20; n < 40; ++n)
    sys.AddUsbDisk(n, "2-" + std::to_string(n), "08", "Vantor", "Quillon T745",
                   ("S" + std::to_string(n)).c_str());
  EXPECT_EQ(bus.List().size(), kMaxBusEntries);
  EXPECT_TRUE(SysfsBus(dir / "nothing").List().empty());
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
  const std::string a = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#aaaa" + kTail;
  const std::string d = "\\\\?\\usbstor#disk&ven_vantor&prod_quillon_t745&rev_0001#dddd" + kTail;
  WriteWholeFile(SimIdPath(dir.path(), "A"), a + "\n");
  MakeSocket(SimSocketPath(dir.path(), "A"));
  WriteWholeFile(SimIdPath(dir.path(), "d"), "  " + d + " \r\nsecond line\r\n");
  MakeSocket(SimSocketPath(dir.path(), "d"));
  WriteWholeFile(SimIdPath(dir.path(), "B"), a + "\n");  // joining: no socket yet
  WriteWholeFile(SimIdPath(dir.path(), "C"), "\n");      // empty line
  MakeSocket(SimSocketPath(dir.path(), "C"));
  WriteWholeFile(SimIdPath(dir.path(), "E"), std::string(300, 'x'));  // overlong
  MakeSocket(SimSocketPath(dir.path(), "E"));
  WriteWholeFile(dir / "bad name.id", a);
  WriteWholeFile(SimSocketPath(dir.path(), "F"), "");  // a plain file, not a socket
  WriteWholeFile(SimIdPath(dir.path(), "F"), a);
  MakeSocket(SimSocketPath(dir.path(), "G"));  // leaving: id already gone

  SimBus bus(dir.path(), 0.5);
  std::vector<BusEntry> entries = bus.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0], (BusEntry{a, SimSocketPath(dir.path(), "A")}));
  EXPECT_EQ(entries[1], (BusEntry{d, SimSocketPath(dir.path(), "d")}));
  EXPECT_NE(dynamic_cast<SimSocketTransport*>(bus.NewTransport().get()), nullptr);
  EXPECT_TRUE(SimBus(dir / "missing").List().empty());
}

TEST(BusFactory, PicksTheBusFromOptionEnvironmentOrDefault) {
  struct Case {
    const char* option;
    const char* env;
    bool ok;
    BusKind kind;
    const char* dir;
  };
  const Case cases[] = {
      {"", nullptr, true, BusKind::kSysfs, ""},
      {"", "", true, BusKind::kSysfs, ""},
      {"", "sysfs", true, BusKind::kSysfs, ""},
      {"", "sim:/run/sim", true, BusKind::kSim, "/run/sim"},
      {"/opt/s", "sim:/run/sim", true, BusKind::kSim, "/opt/s"},  // the option wins
      {"/opt/s", "bogus", true, BusKind::kSim, "/opt/s"},
      {"", "sim:", false, BusKind::kSysfs, ""},
      {"", "usb", false, BusKind::kSysfs, ""},
  };
  for (const Case& c : cases) {
    BusChoice choice = ChooseBus(c.option, c.env);
    SCOPED_TRACE(std::string(c.option) + " | " + (c.env ? c.env : "(unset)"));
    EXPECT_EQ(choice.ok, c.ok);
    EXPECT_EQ(choice.ok, choice.error.empty());
    if (!c.ok) {
      EXPECT_EQ(MakeHandsetBus(choice), nullptr);
      continue;
    }
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_EQ(choice.simDir, c.dir);
    auto bus = MakeHandsetBus(choice);
    if (c.kind == BusKind::kSim) {
      ASSERT_NE(dynamic_cast<SimBus*>(bus.get()), nullptr);
      EXPECT_EQ(static_cast<SimBus*>(bus.get())->dir(), c.dir);
    } else {
      EXPECT_NE(dynamic_cast<SysfsBus*>(bus.get()), nullptr);
    }
  }
}

}  // namespace
}  // namespace flashery
