#include "sim/usb_handset_gadget.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/paths.h"

namespace flashery::sim {

std::string UsbGadget::GadgetDir() const {
  return JoinPath(JoinPath(setup_.configfs, "usb_gadget"), setup_.name);
}

bool UsbGadget::Write(const std::string& relative, const std::string& value, std::string& error) {
  std::string path = JoinPath(GadgetDir(), relative);
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot open " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string line = value + "\n";
  ssize_t n = ::write(fd, line.data(), line.size());
  int saved = errno;
  ::close(fd);
  if (n != static_cast<ssize_t>(line.size())) {
    error = "cannot write '" + value + "' to " + path + ": " + std::strerror(n < 0 ? saved : EIO);
    return false;
  }
  return true;
}

bool UsbGadget::Create(std::string& error) {
  std::string root = JoinPath(setup_.configfs, "usb_gadget");
  if (::access(root.c_str(), F_OK) != 0) {
    error = root + " is missing (configfs not mounted, or libcomposite not loaded)";
    return false;
  }
  std::string dir = GadgetDir();
  if (::access(dir.c_str(), F_OK) == 0) {
    error = "gadget " + dir + " exists already (left behind by an earlier run?)";
    return false;
  }
  std::string function = "functions/ffs." + setup_.function;
  auto mkdir = [&](const std::string& relative) {
    std::string path = relative.empty() ? dir : JoinPath(dir, relative);
    if (::mkdir(path.c_str(), 0755) != 0) {
      error = "cannot make " + path + ": " + std::strerror(errno);
      return false;
    }
    made_.push_back(path);
    return true;
  };
  if (!mkdir("") || !Write("idVendor", "0x1d6b", error) || !Write("idProduct", "0x0104", error) ||
      !Write("bcdDevice", "0x0100", error) || !Write("bcdUSB", "0x0200", error) ||
      !mkdir("strings/0x409") || !Write("strings/0x409/serialnumber", setup_.serial, error) ||
      !Write("strings/0x409/manufacturer", setup_.manufacturer, error) ||
      !Write("strings/0x409/product", setup_.product, error) || !mkdir("configs/c.1") ||
      !mkdir("configs/c.1/strings/0x409") ||
      !Write("configs/c.1/strings/0x409/configuration", "download", error) ||
      !Write("configs/c.1/MaxPower", "250", error) || !mkdir(function))
    return false;
  std::string link = JoinPath(dir, "configs/c.1/ffs." + setup_.function);
  if (::symlink(JoinPath(dir, function).c_str(), link.c_str()) != 0) {
    error = "cannot link " + link + ": " + std::strerror(errno);
    return false;
  }
  made_.push_back(link);
  if (::mkdir(setup_.ffsDir.c_str(), 0755) != 0 && errno != EEXIST) {
    error = "cannot make " + setup_.ffsDir + ": " + std::strerror(errno);
    return false;
  }
  if (::mount(setup_.function.c_str(), setup_.ffsDir.c_str(), "functionfs", 0, nullptr) != 0) {
    error = "cannot mount FunctionFS " + setup_.function + " on " + setup_.ffsDir + ": " +
            std::strerror(errno) + " (is usb_f_fs loaded?)";
    return false;
  }
  mounted_ = true;
  return true;
}

bool UsbGadget::SetSerial(const std::string& serial, std::string& error) {
  if (bound_) {
    error = "the serial number changes only while the handset is off the bus";
    return false;
  }
  if (!Write("strings/0x409/serialnumber", serial, error)) return false;
  setup_.serial = serial;
  return true;
}

bool UsbGadget::Bind(std::string& error) {
  if (!Write("UDC", setup_.udc, error)) return false;
  bound_ = true;
  return true;
}

bool UsbGadget::Unbind(std::string& error) {
  if (!bound_) return true;
  if (!Write("UDC", "", error)) return false;
  bound_ = false;
  return true;
}

void UsbGadget::Remove() {
  std::string ignored;
  Unbind(ignored);
  if (mounted_ && ::umount(setup_.ffsDir.c_str()) == 0) {
    mounted_ = false;
    ::rmdir(setup_.ffsDir.c_str());
  }
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) {
    struct stat st;
    if (::lstat(it->c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode))
      ::unlink(it->c_str());
    else
      ::rmdir(it->c_str());
  }
  made_.clear();
}

}  // namespace flashery::sim
