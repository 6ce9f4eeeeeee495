// libFuzzer target: the sysfs attributes a bus scan reads. A fake sysfs
// tree is made once in a temporary folder: node sg0 below a USB
// mass-storage interface and node sg1 whose "device" link the input points
// at one of several places (the same kind of tree, an ATA host, outside the
// root, a loop, nowhere). For every input the attribute files (interface
// class, USB serial, inquiry vendor, model and revision of both nodes) are
// written with the input's bytes (fields separated by 0x1F; a field
// starting with 0x1E is left out, one starting with 0x1D becomes a folder)
// and the bus is listed.
//
// Checked besides memory safety:
//  - exactly the nodes below a mass-storage interface whose attributes
//    make a path of the maker are listed, in node order, each with that
//    path (BuildInterfacePath of its attributes; its USB port when the
//    serial names nothing), opened by DEV/sgN of its own node, and with
//    its USB device's name as its socket path;
//  - every interface path has at most 259 bytes of printable ASCII without
//    upper case, with exactly the path's own separators (3 '\', 3 '#',
//    4 '&'), so no attribute can move a field, and a non-empty instance id
//    of at most 32 bytes.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "config/station_line.h"
#include "device/handset_path.h"
#include "device/sysfs_bus.h"
#include "platform/files.h"
#include "platform/fuzz/fuzz_support.h"
#include "platform/paths.h"

namespace {

using namespace flashery;

using fuzz::Require;

struct Tree {
  std::string folder, root;
  std::string interfaces[2];  // USB interface folders of sg0 and sg1's own tree
  std::string scsi[2];        // SCSI device folders
};

const Tree& TheTree() {
  static const Tree tree = [] {
    Tree t;
    std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/sysfuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    t.folder = pattern;
    t.root = t.folder + "/sys";
    for (int n = 0; n < 2; ++n) {
      std::string usb = t.root + "/devices/pci0/1-" + std::to_string(n + 1);
      t.interfaces[n] = usb + "/1-" + std::to_string(n + 1) + ":1.0";
      t.scsi[n] = t.interfaces[n] + "/host" + std::to_string(n) + "/" + std::to_string(n) + ":0:0:0";
      MakeDirectories(t.scsi[n]);
      MakeDirectories(t.root + "/class/scsi_generic/sg" + std::to_string(n));
    }
    MakeDirectories(t.root + "/devices/pci0/ata1/host9/9:0:0:0");
    MakeDirectories(t.root + "/class/scsi_generic/sgx");
    if (::symlink(t.scsi[0].c_str(), (t.root + "/class/scsi_generic/sg0/device").c_str()) != 0) std::abort();
    if (::symlink("loop", (t.root + "/devices/loop").c_str()) != 0) std::abort();
    std::atexit([] { RemoveTree(TheTree().folder); });
    return t;
  }();
  return tree;
}

// Writes one attribute as the input says: a file with the bytes, no file,
// or a folder in its place.
void SetAttribute(const std::string& path, std::string_view field) {
  RemoveTree(path);
  if (!field.empty() && field[0] == '\x1e') return;
  if (!field.empty() && field[0] == '\x1d') {
    MakeDirectories(path);
    return;
  }
  WriteWholeFile(path, field);
}

// What a scan can see of an attribute: its first 256 bytes.
std::string ReadBack(const std::string& path) {
  auto bytes = ReadWholeFile(path, 4096);
  return bytes ? bytes->substr(0, 256) : std::string();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 4096) return 0;
  const Tree& tree = TheTree();
  std::vector<std::string_view> fields;
  std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  while (fields.size() < 10) {
    size_t cut = rest.find('\x1f');
    fields.push_back(rest.substr(0, cut));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  const std::string targets[] = {tree.scsi[1], tree.root + "/devices/pci0/ata1/host9/9:0:0:0", "/",
                                 tree.root + "/devices/loop", tree.root + "/devices/gone"};
  const std::string link = tree.root + "/class/scsi_generic/sg1/device";
  ::unlink(link.c_str());
  if (::symlink(targets[data[0] % 5].c_str(), link.c_str()) != 0) return 0;
  for (int n = 0; n < 2; ++n) {
    const std::string_view* f = &fields[static_cast<size_t>(n) * 5];
    SetAttribute(tree.interfaces[n] + "/bInterfaceClass", f[0]);
    SetAttribute(DirName(tree.interfaces[n]) + "/serial", f[1]);
    SetAttribute(tree.scsi[n] + "/vendor", f[2]);
    SetAttribute(tree.scsi[n] + "/model", f[3]);
    SetAttribute(tree.scsi[n] + "/rev", f[4]);
  }

  // What the scan must find: node n when its tree is a USB mass-storage
  // disk of the maker. Its attributes give its path; a serial that leaves
  // nothing to name the handset by gives way to its USB port.
  std::string expected[2], sockets[2];
  for (int n = 0; n < 2; ++n) {
    if (n == 1 && data[0] % 5 != 0) continue;
    std::string interfaceClass = ReadBack(tree.interfaces[n] + "/bInterfaceClass");
    while (!interfaceClass.empty() && std::string_view("\n\r \0", 4).find(interfaceClass.back()) != std::string_view::npos)
      interfaceClass.pop_back();
    if (interfaceClass != "08") continue;
    const std::string device = DirName(tree.interfaces[n]);
    const std::string vendor = ReadBack(tree.scsi[n] + "/vendor"), model = ReadBack(tree.scsi[n] + "/model"),
                      rev = ReadBack(tree.scsi[n] + "/rev");
    auto path = BuildInterfacePath(vendor, model, rev, ReadBack(device + "/serial"));
    if (!path) path = BuildInterfacePath(vendor, model, rev, "port_" + BaseName(device));
    if (path && MatchHandsetPath(*path, "")) expected[n] = *path;
    // The USB socket is the USB device's own name, when it reads as one.
    sockets[n] = BaseName(device);
    if (!IsValidSocketPath(sockets[n])) sockets[n].clear();
  }

  SysfsBus bus(tree.root, "/devroot");
  std::vector<BusEntry> entries = bus.List();
  std::vector<BusEntry> want;
  for (int n = 0; n < 2; ++n)
    if (!expected[n].empty()) want.push_back({expected[n], "/devroot/sg" + std::to_string(n), sockets[n]});
  Require(entries == want);
  for (const BusEntry& e : entries) {
    const std::string& p = e.interfacePath;
    Require(p.size() <= kInterfacePathMax);
    Require(std::all_of(p.begin(), p.end(), [](char c) { return c > ' ' && c < 0x7F && !(c >= 'A' && c <= 'Z'); }));
    Require(std::count(p.begin(), p.end(), '\\') == 3 && std::count(p.begin(), p.end(), '#') == 3 &&
            std::count(p.begin(), p.end(), '&') == 4);
    HandsetPathParts parts = ParseHandsetPath(p);
    Require(!parts.instanceId.empty() && parts.instanceId.size() <= 32);
  }
  return 0;
}
