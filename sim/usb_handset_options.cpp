#include "sim/usb_handset_options.h"

#include "platform/paths.h"

namespace flashery::sim {

namespace {

// A serial the station can take whole as an instance id (at most 32
// characters) and that reads the same in every tool.
bool IsUsbSerial(const std::string& s) {
  if (s.empty() || s.size() > 32) return false;
  for (char c : s) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
    if (!ok) return false;
  }
  return true;
}

bool IsName(const std::string& s) {
  if (s.empty() || s.size() > 64 || s[0] == '.') return false;
  for (char c : s)
    if (c == '/' || c == ' ' || c < ' ') return false;
  return true;
}

}  // namespace

std::string UsbHandsetUsage() {
  std::string sim = SimUsage();
  // The handset's own options, as flashery-sim lists them.
  size_t from = sim.find("  --model");
  size_t to = sim.find("  --faulty");
  std::string handset = from == std::string::npos ? sim : sim.substr(from, to == std::string::npos ? to : to - from);
  return "usage: flashery-usb-handset --dir DIR --udc NAME [options]\n"
         "One handset on a real USB bus: a gadget with a FunctionFS function that\n"
         "speaks the USB mass-storage bulk-only transport, answers the SCSI commands\n"
         "a USB disk is asked, and hands every vendor command to the same handset\n"
         "model as flashery-sim. It keeps what it receives in DIR/SERIAL/images and\n"
         "DIR/SERIAL/storage and writes DIR/SERIAL/report.json. A restart unbinds the\n"
         "gadget from its controller for the time off the bus. Needs root, configfs\n"
         "and the modules libcomposite and usb_f_fs. On USB a dropped connection is\n"
         "the handset pulled out in the middle of the command; a late answer holds\n"
         "the status back. SIGINT or SIGTERM ends it and removes the gadget.\n"
         "\n"
         "  --dir DIR              where the handset keeps DIR/SERIAL (made when missing)\n"
         "  --udc NAME             the device controller to bind to (e.g. dummy_udc.0)\n"
         "  --serial S             USB serial number (default SIM0001)\n"
         "  --serial-prefix P      serial P0001 when --serial is not given\n"
         "  --gadget NAME          configfs gadget name (default flashery)\n"
         "  --function NAME        FunctionFS instance name (default handset)\n"
         "  --configfs DIR         where configfs is mounted (default /sys/kernel/config)\n"
         "  --ffs-dir DIR          where the function is mounted (default /dev/ffs-handset)\n"
         "  --trace                print every command block and ep0 event on stderr\n"
         "Handset options, as for flashery-sim:\n" +
         handset + "  --help                 this text\n";
}

ParsedUsbHandsetOptions ParseUsbHandsetOptions(const std::vector<std::string>& args) {
  ParsedUsbHandsetOptions p;
  UsbHandsetOptions& o = p.options;
  struct Valued {
    const char* name;
    std::string* field;
  };
  const Valued valued[] = {{"--udc", &o.gadget.udc},           {"--serial", &o.serial},
                           {"--gadget", &o.gadget.name},       {"--function", &o.gadget.function},
                           {"--configfs", &o.gadget.configfs}, {"--ffs-dir", &o.gadget.ffsDir}};
  std::vector<OptionDecl> own;
  for (const Valued& v : valued) own.push_back({v.name + 2, OptionDecl::Required});
  own.push_back({"trace", OptionDecl::None});
  std::vector<ReadOptions::Given> given;
  ParsedOptions handset = ParseSimOptions(args, own, &given, "flashery-usb-handset");
  for (const ReadOptions::Given& g : given) {
    size_t at = static_cast<size_t>(g.option);
    if (at < std::size(valued)) *valued[at].field = g.value.value_or("");
    else o.trace = true;
  }
  o.handset = handset.options;
  o.help = handset.options.help;
  if (o.help) return p;
  if (!handset.ok()) {
    p.error = handset.error;
  } else if (o.handset.count != 1) {  // 1 unless --count said otherwise
    p.error = "one process is one handset: --count must be 1";
  } else if (o.gadget.udc.empty()) {
    p.error = "--udc is required (e.g. dummy_udc.0; see /sys/class/udc)";
  } else if (!IsName(o.gadget.udc) || !IsName(o.gadget.name) || !IsName(o.gadget.function)) {
    p.error = "--udc, --gadget and --function take plain names";
  } else if (!o.serial.empty() && !IsUsbSerial(o.serial)) {
    p.error = "--serial takes 1 to 32 letters, digits, '-' or '_'";
  }
  return p;
}

HandsetConfig UsbHandsetConfig(UsbHandsetOptions& o) {
  o.handset.count = 1;
  HandsetConfig c = HandsetConfigFor(o.handset, 1);
  if (!o.serial.empty()) {
    c.serial = o.serial;
    c.folder = JoinPath(o.handset.dir, c.serial);
  }
  o.gadget.serial = c.serial;
  return c;
}

}  // namespace flashery::sim
