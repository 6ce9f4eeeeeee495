// The USB handset's body: a gadget in configfs with one configuration that
// holds one FunctionFS function, bound to a USB device controller (in the
// test machine the dummy controller dummy_udc.0, whose host side is a
// root hub of the same kernel).
//
//   CONFIGFS/usb_gadget/NAME/           idVendor, idProduct, strings/0x409/
//                                       (serialnumber, manufacturer, product)
//   CONFIGFS/usb_gadget/NAME/functions/ffs.FUNCTION
//   CONFIGFS/usb_gadget/NAME/configs/c.1/ffs.FUNCTION -> the function
//   FFSDIR: the FunctionFS instance FUNCTION mounted (ep0, ep1, ep2)
//   CONFIGFS/usb_gadget/NAME/UDC        the controller's name binds, an
//                                       empty line unbinds
//
// Binding is plugging the handset in; unbinding is pulling it out. The
// serial number (the USB string the host keeps as the device's serial) is
// changed only while unbound. Remove takes everything down again in the
// reverse order; the FunctionFS files must be closed before it runs.
#pragma once

#include <string>
#include <vector>

namespace flashery::sim {

struct GadgetSetup {
  std::string configfs = "/sys/kernel/config";
  std::string name = "flashery";
  std::string function = "handset";
  std::string ffsDir = "/dev/ffs-handset";
  std::string udc;
  std::string serial;
  std::string manufacturer = "Vantor";
  std::string product = "Quillon download";
};

class UsbGadget {
 public:
  explicit UsbGadget(GadgetSetup setup) : setup_(std::move(setup)) {}
  ~UsbGadget() { Remove(); }
  UsbGadget(const UsbGadget&) = delete;
  UsbGadget& operator=(const UsbGadget&) = delete;

  // Makes the gadget and mounts its FunctionFS instance.
  bool Create(std::string& error);
  bool SetSerial(const std::string& serial, std::string& error);
  bool Bind(std::string& error);
  bool Unbind(std::string& error);
  void Remove();

  bool bound() const { return bound_; }
  const GadgetSetup& setup() const { return setup_; }

 private:
  std::string GadgetDir() const;
  bool Write(const std::string& relative, const std::string& value, std::string& error);

  GadgetSetup setup_;
  std::vector<std::string> made_;  // folders and links made, in order
  bool mounted_ = false;
  bool bound_ = false;
};

}  // namespace flashery::sim
