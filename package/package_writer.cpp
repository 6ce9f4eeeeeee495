#include "package/package_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#include "package/crc16.h"
#include "package/qfm_header.h"
#include "platform/files.h"

namespace flashery {
namespace {

constexpr size_t kCopyBytes = 1u << 20;

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const uint8_t* data, size_t n, uint64_t offset) {
  while (n > 0) {
    ssize_t put = pwrite(fd, data, n, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    n -= static_cast<size_t>(put);
    offset += static_cast<uint64_t>(put);
  }
  return true;
}

std::string SystemError(const std::string& what, const std::string& path, int error) {
  return what + " " + path + ": " + std::strerror(error);
}

// Copies the regular file `path` to `out` at `at`; returns its size and
// check value.
struct Copied {
  uint32_t size = 0, check = 0;
};
std::optional<Copied> CopySection(const std::string& path, int out, uint64_t at, std::vector<uint8_t>& buffer,
                                  std::string& error) {
  int openError = 0;
  uint64_t size = 0;
  Fd in(OpenRegularFile(path, &openError, &size));
  if (in.get() < 0) {
    error = "cannot read " + path + ": " + DescribeReadError(openError);
    return std::nullopt;
  }
  if (size > 0xFFFFFFFFull) {
    error = "larger than 4 GiB - 1 bytes, a section cannot hold it: " + path;
    return std::nullopt;
  }
  SectionCheckBuilder check;
  while (check.bytes() < size) {
    size_t want = static_cast<size_t>(std::min<uint64_t>(size - check.bytes(), buffer.size()));
    ssize_t got = read(in.get(), buffer.data(), want);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      error = SystemError("cannot read", path, errno);
      return std::nullopt;
    }
    if (got == 0) {
      error = "file became shorter while it was read: " + path;
      return std::nullopt;
    }
    if (!WriteAll(out, buffer.data(), static_cast<size_t>(got), at + check.bytes())) {
      error = std::string("cannot write the package: ") + std::strerror(errno);
      return std::nullopt;
    }
    check.Add(buffer.data(), static_cast<size_t>(got));
  }
  return Copied{static_cast<uint32_t>(size), check.Value()};
}

bool SetTextField(QfmHeader& header, size_t at, size_t fieldBytes, const std::string& text, Codepage cp,
                  const char* what, std::string& error) {
  std::optional<std::string> encoded = EncodeFromUtf8(text, cp);
  if (!encoded) {
    error = std::string(what) + " cannot be written in code page " + CodepageName(cp) + ": " + text;
    return false;
  }
  if (!header.SetText(at, fieldBytes, *encoded)) {
    error = std::string(what) + " is longer than " + std::to_string(fieldBytes - 1) + " bytes: " + text;
    return false;
  }
  return true;
}

// Checks the contents to be written and fills the header's text fields; the sections in
// writing order come back in `order`.
bool PlanHeader(const PackageContents& contents, Codepage cp, QfmHeader& header, std::vector<PackageInput>& order,
                std::string& error) {
  header.SetMagic();
  if (!SetTextField(header, qfm::kProductName, qfm::kProductNameBytes, contents.productName, cp, "product name",
                    error) ||
      !SetTextField(header, qfm::kVersionName, qfm::kVersionNameBytes, contents.versionName, cp, "version name",
                    error)) {
    return false;
  }
  std::vector<PackageInput> extends;
  std::vector<const PackageInput*> byKey(kQfmSectionCount, nullptr);
  for (const PackageInput& in : contents.inputs) {
    if (ExtendSlotOf(in.key) != 0) {
      if (in.name.empty()) {
        error = "an Extend section needs a name: " + in.path;
        return false;
      }
      extends.push_back(in);
      continue;
    }
    const PackageInput*& slot = byKey[static_cast<size_t>(in.key)];
    if (slot) {
      error = std::string("section given twice: ") + QfmLayoutOf(in.key).keyName;
      return false;
    }
    slot = &in;
  }
  if (extends.size() > static_cast<size_t>(kQfmExtendSlots)) {
    error = "at most 5 Extend sections";
    return false;
  }
  for (size_t i = 0; i < extends.size(); ++i) {
    extends[i].key = ExtendKey(static_cast<int>(i) + 1);
    byKey[static_cast<size_t>(extends[i].key)] = &extends[i];
  }
  for (QfmSectionKey key : kQfmCheckOrder) {
    const PackageInput* in = byKey[static_cast<size_t>(key)];
    if (!in) continue;
    QfmSectionLayout l = QfmLayoutOf(key);
    if (!in->name.empty()) {
      if (l.nameBytes == 0) {
        error = std::string("the section has no name field: ") + l.keyName;
        return false;
      }
      if (!SetTextField(header, l.nameAt, l.nameBytes, in->name, cp, "section name", error)) return false;
    }
    order.push_back(*in);
  }
  return true;
}

}  // namespace

PackageWriteResult WritePackage(const std::string& outPath, const PackageContents& contents, Codepage codepage) {
  PackageWriteResult result;
  QfmHeader header;
  std::vector<PackageInput> order;
  if (!PlanHeader(contents, codepage, header, order, result.error)) return result;

  const std::string tempPath = outPath + ".partial";
  Fd out(open(tempPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    result.error = SystemError("cannot create", tempPath, errno);
    return result;
  }
  std::vector<uint8_t> buffer(kCopyBytes);
  uint64_t at = kQfmHeaderBytes;
  bool ok = true;
  for (const PackageInput& in : order) {
    if (at > 0xFFFFFFFFull) {
      result.error = "the package would exceed 4 GiB; section offsets are 32-bit";
      ok = false;
      break;
    }
    std::optional<Copied> copied = CopySection(in.path, out.get(), at, buffer, result.error);
    if (!copied) {
      ok = false;
      break;
    }
    QfmSectionLayout l = QfmLayoutOf(in.key);
    header.SetByte(l.presentAt, 1);
    header.SetU32(l.offsetAt, static_cast<uint32_t>(at));
    header.SetU32(l.sizeAt, copied->size);
    header.SetU32(l.checkAt, copied->check);
    at += copied->size;
  }
  if (ok && at > 0xFFFFFFFFull) {
    result.error = "the package would exceed 4 GiB; its size field is 32-bit";
    ok = false;
  }
  if (ok) {
    header.SetU32(qfm::kPackageSize, static_cast<uint32_t>(at));
    header.Seal();
    if (!WriteAll(out.get(), header.bytes.data(), header.bytes.size(), 0) || fsync(out.get()) != 0) {
      result.error = SystemError("cannot write", tempPath, errno);
      ok = false;
    }
  }
  if (!out.Close() && ok) {
    result.error = SystemError("cannot write", tempPath, errno);
    ok = false;
  }
  if (ok && std::rename(tempPath.c_str(), outPath.c_str()) != 0) {
    result.error = SystemError("cannot rename into place", outPath, errno);
    ok = false;
  }
  if (!ok) {
    unlink(tempPath.c_str());
    return result;
  }
  result.ok = true;
  result.fileSize = at;
  return result;
}

}  // namespace flashery
