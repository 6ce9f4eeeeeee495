// vm_sg_probe: the station's SCSI generic transport against a handset on a
// real USB bus, for the real-kernel test (scripts/vm-test). It finds the
// handset with the station's sysfs bus and talks to it with the station's
// SgIoTransport, so what it checks is what the station relies on:
//
//   vm_sg_probe refusal   the node is known as its handset's through sysfs
//                         (and refused in another's name), it opens
//                         exclusively (a second open is
//                         refused), an unknown vendor command completes
//                         with check condition and its sense data, and
//                         CheckAlive is good afterwards;
//   vm_sg_probe unplug    against a handset started with --drop-at-block 1:
//                         a WriteBlock during which the handset is pulled
//                         out fails as a transport failure with an error
//                         code, the handset leaves the bus, comes back with
//                         the same instance id under a new node, and
//                         answers there;
//   vm_sg_probe operator  as an operator (uid and gid 1000, no
//                         capabilities) whom the node's group lets read and
//                         write it, as the packaged udev rule does: the node
//                         opens and CheckAlive is good (the kernel filters
//                         the commands of read-only opens only).
//
// Every wait is bounded (--wait-s, default 30). One line per finding on
// stdout; exit status 0 when all held, 1 otherwise.
#include <sys/wait.h>
#include <grp.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "device/handset_path.h"
#include "device/sg_io_transport.h"
#include "device/sysfs_bus.h"
#include "device/vendor_command.h"
#include "package/crc16.h"
#include "platform/clock.h"

using namespace flashery;

namespace {

SystemClock realClock(1.0);
int waitSeconds = 30;

int Fail(const std::string& why) {
  std::printf("probe: FAIL: %s\n", why.c_str());
  return 1;
}

std::string Describe(const SendResult& r) {
  const char* kind = r.status == SendStatus::kGood ? "good" : r.status == SendStatus::kBadStatus ? "bad status" : "failure";
  char text[200];
  std::snprintf(text, sizeof text, "%s, scsi status 0x%02x, host status 0x%02x, driver status 0x%02x, error %d (%s)",
                kind, r.scsiStatus, r.hostStatus, r.driverStatus, r.errorCode,
                r.errorCode ? std::strerror(r.errorCode) : "none");
  return text;
}

// The one handset on the bus, waiting for it; `notPath`: one that is not
// under this node.
std::optional<BusEntry> WaitForHandset(SysfsBus& bus, const std::string& notPath = "") {
  for (int i = 0; i < waitSeconds * 10; ++i) {
    for (const BusEntry& e : bus.List())
      if (e.openPath != notPath) return e;
    realClock.SleepMs(100);
  }
  return std::nullopt;
}

bool WaitGone(SysfsBus& bus, const std::string& openPath) {
  for (int i = 0; i < waitSeconds * 10; ++i) {
    bool present = false;
    for (const BusEntry& e : bus.List()) present = present || e.openPath == openPath;
    if (!present) return true;
    realClock.SleepMs(100);
  }
  return false;
}

SendResult Send(Transport& t, const VendorCommand& c, uint8_t* data = nullptr) {
  return t.Send(c.cdb, c.direction, data, c.dataLength);
}

int Refusal(SysfsBus& bus) {
  auto handset = WaitForHandset(bus);
  if (!handset) return Fail("no handset on the bus");
  std::printf("probe: handset %s at %s\n", ParseHandsetPath(handset->interfacePath).instanceId.c_str(),
              handset->openPath.c_str());
  // The node is recognised as this handset's through the real sysfs, and
  // refused in the name of another.
  std::string id = ParseHandsetPath(handset->interfacePath).instanceId;
  SgIoTransport named;
  OpenResult own = named.OpenHandset(handset->openPath, id);
  if (!own.ok) return Fail("the node was not recognised as " + id + "'s: " + std::strerror(own.errorCode));
  named.Close();
  OpenResult other = named.OpenHandset(handset->openPath, id + "x");
  if (other.ok || other.errorCode != ESTALE) return Fail("the node was not refused in another handset's name");
  std::printf("probe: node recognised as %s, refused as %sx\n", id.c_str(), id.c_str());
  SgIoTransport t, second;
  OpenResult o = t.Open(handset->openPath);
  if (!o.ok) return Fail("cannot open " + handset->openPath + ": " + std::strerror(o.errorCode));
  OpenResult again = second.Open(handset->openPath);
  if (again.ok) return Fail("a second open of " + handset->openPath + " was not refused");
  std::printf("probe: second open refused: %s\n", std::strerror(again.errorCode));

  VendorCommand unknown;
  unknown.cdb = {0xFF, 0xFF, 0x7E, 0x01};
  SendResult r = Send(t, unknown);
  std::printf("probe: unknown command: %s\n", Describe(r).c_str());
  if (r.status != SendStatus::kBadStatus || r.scsiStatus != kScsiStatusCheckCondition)
    return Fail("an unknown command did not end with check condition");
  if (r.senseLength < 14 || (r.sense[2] & 0x0F) != 0x05)
    return Fail("the check condition carried no ILLEGAL REQUEST sense");
  std::printf("probe: sense %02x/%02x/%02x (%u bytes)\n", r.sense[2] & 0x0F, r.sense[12], r.sense[13], r.senseLength);
  r = Send(t, CheckAliveCommand());
  if (!r.good()) return Fail("CheckAlive after the refusal: " + Describe(r));
  std::printf("probe: CheckAlive good\n");
  return 0;
}

int Unplug(SysfsBus& bus) {
  auto handset = WaitForHandset(bus);
  if (!handset) return Fail("no handset on the bus");
  std::string id = ParseHandsetPath(handset->interfacePath).instanceId;
  SgIoTransport t;
  OpenResult o = t.Open(handset->openPath);
  if (!o.ok) return Fail("cannot open " + handset->openPath + ": " + std::strerror(o.errorCode));
  std::vector<uint8_t> block(kMaxBlockLength);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
  VendorCommand write = WriteImageBlockCommand(static_cast<uint16_t>(block.size()),
                                               BlockCheckValue(block.data(), block.size()), false);
  double start = realClock.RealSeconds();
  SendResult r = Send(t, write, block.data());
  std::printf("probe: WriteBlock while the handset is pulled out: %s after %.1f s\n", Describe(r).c_str(),
              realClock.RealSeconds() - start);
  if (r.status != SendStatus::kFailure || r.errorCode == 0)
    return Fail("the unplug did not end the command as a transport failure with an error code");
  r = Send(t, CheckAliveCommand());
  std::printf("probe: the old node afterwards: %s\n", Describe(r).c_str());
  if (r.good()) return Fail("the old node still answers after the unplug");
  if (!WaitGone(bus, handset->openPath)) return Fail(handset->openPath + " stays on the bus");
  auto back = WaitForHandset(bus, handset->openPath);
  if (!back) return Fail("the handset did not come back");
  std::string backId = ParseHandsetPath(back->interfacePath).instanceId;
  std::printf("probe: back as %s at %s\n", backId.c_str(), back->openPath.c_str());
  if (backId != id) return Fail("it came back as " + backId + ", not " + id);
  t.Close();
  o = t.Open(back->openPath);
  if (!o.ok) return Fail("cannot open " + back->openPath + ": " + std::strerror(o.errorCode));
  r = Send(t, CheckAliveCommand());
  if (!r.good()) return Fail("CheckAlive after coming back: " + Describe(r));
  std::printf("probe: CheckAlive good after coming back\n");
  return 0;
}

// In a child process: becomes the operator, opens the node and sends
// CheckAlive; 0 when it was good.
int AsOperator(const std::string& node) {
  constexpr uid_t kOperator = 1000;
  gid_t group = kOperator;
  if (setgroups(1, &group) != 0 || setgid(kOperator) != 0 || setuid(kOperator) != 0) {
    std::printf("probe: cannot become the operator: %s\n", std::strerror(errno));
    return 3;
  }
  SgIoTransport t;
  OpenResult o = t.Open(node);
  if (!o.ok) {
    std::printf("probe: the operator cannot open %s: %s\n", node.c_str(), std::strerror(o.errorCode));
    return 1;
  }
  SendResult r = Send(t, CheckAliveCommand());
  std::printf("probe: the operator's CheckAlive: %s\n", Describe(r).c_str());
  return r.good() ? 0 : 1;
}

int Operator(SysfsBus& bus) {
  auto handset = WaitForHandset(bus);
  if (!handset) return Fail("no handset on the bus");
  std::fflush(stdout);
  pid_t child = fork();
  if (child < 0) return Fail(std::string("fork: ") + std::strerror(errno));
  if (child == 0) {
    int status = AsOperator(handset->openPath);
    std::fflush(stdout);
    _exit(status);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return Fail("the operator's process did not end");
  if (WEXITSTATUS(status) != 0) return Fail("an operator with the group's access could not drive the handset");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 3 && args[1] == "--wait-s") {
    waitSeconds = std::atoi(args[2].c_str());
    args.resize(1);
  }
  if (args.size() != 1 || waitSeconds < 1 ||
      (args[0] != "refusal" && args[0] != "unplug" && args[0] != "operator")) {
    std::fprintf(stderr, "usage: vm_sg_probe refusal|unplug|operator [--wait-s N]\n");
    return 2;
  }
  SysfsBus bus;
  if (args[0] == "operator") return Operator(bus);
  return args[0] == "refusal" ? Refusal(bus) : Unplug(bus);
}
