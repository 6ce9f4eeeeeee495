// flashery-pack extract: copies one section of a package into a file. As
// the station, it takes nothing from a package whose header fails the
// header check (exit 1, the station's text 104). The section's check value
// is computed while it is copied; a section whose data does not match its
// stored check is not written out.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "package/crc16.h"
#include "package/package_messages.h"
#include "package/package_open.h"
#include "text/prompter.h"
#include "tools/pack_command.h"
#include "tools/pack_package_support.h"

namespace flashery::pack {
namespace {

constexpr const char* kName = "extract";

// The key of SECTION: a section name, or the name of one of the package's
// Extend sections.
std::optional<QfmSectionKey> FindSection(const QfmHeader& h, const std::string& text, Codepage codepage) {
  if (auto key = ParseSectionKey(text)) return key;
  for (int k = 1; k <= kQfmExtendSlots; ++k) {
    if (SectionFromHeader(h, ExtendKey(k), codepage).name == text) return ExtendKey(k);
  }
  return std::nullopt;
}

// Whether the station treats the section as part of the package: present
// byte 1 and, for Extend slot k, slots 1..k all present.
bool PartOfPackage(const QfmHeader& h, QfmSectionKey key) {
  int slot = ExtendSlotOf(key);
  if (slot == 0) return SectionFromHeader(h, key).IsPresent();
  for (int k = 1; k <= slot; ++k) {
    if (!SectionFromHeader(h, ExtendKey(k)).IsPresent()) return false;
  }
  return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t n) {
  while (n > 0) {
    ssize_t put = write(fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    n -= static_cast<size_t>(put);
  }
  return true;
}

int RunExtract(const std::vector<std::string>& args) {
  ParsedArgs a = ParseArgs(args, {"codepage"});
  if (!a.error.empty()) return Fail(kName, a.error, kUsage);
  if (a.positional.size() != 3) return Fail(kName, "expects PKG SECTION OUT (see --help)", kUsage);
  const std::string &path = a.positional[0], &wanted = a.positional[1], &out = a.positional[2];

  std::string cpError;
  std::optional<Codepage> codepage = CommandCodepage(a, cpError);
  if (!codepage) return Fail(kName, cpError, kUsage);
  TextTable texts = StationTexts();
  std::optional<PackageFile> file = PackageFile::Open(path);
  if (!file) return Fail(kName, StationText(texts, package_text::kCannotOpen) + ": " + path, kUsage);
  ConsolePrompter prompter;
  QfmHeader h;
  if (!ReadPackageHeader(*file, h, PackageContext{texts, prompter, *codepage})) {
    return Fail(kName, StationText(texts, package_text::kHeaderUnreadable) + ": " + path, kUsage);
  }
  if (h.ComputeHeaderCheck() != h.HeaderCheck())
    return Fail(kName, StationText(texts, package_text::kRejected), kRejected);
  std::optional<QfmSectionKey> key = FindSection(h, wanted, *codepage);
  if (!key) return Fail(kName, "no section named '" + wanted + "'", kUsage);
  if (!PartOfPackage(h, *key)) return Fail(kName, SectionLabel(*key) + " is not present in " + path, kRejected);
  const QfmSection s = SectionFromHeader(h, *key);
  if (!file->Holds(s.offset, s.size)) return Fail(kName, SectionReadFailedMessage(*key), kRejected);

  const std::string partial = out + ".partial";
  int fd = open(partial.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Fail(kName, "cannot create " + partial + ": " + std::strerror(errno), kUsage);
  std::vector<uint8_t> buffer(1u << 20);
  SectionCheckBuilder check;
  bool readOk = true, writeOk = true;
  while (check.bytes() < s.size && readOk && writeOk) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(s.size - check.bytes(), buffer.size()));
    readOk = file->ReadAt(s.offset + check.bytes(), buffer.data(), n);
    if (!readOk) break;
    writeOk = WriteAll(fd, buffer.data(), n);
    check.Add(buffer.data(), n);
  }
  writeOk = close(fd) == 0 && writeOk;
  int status = kGood;
  if (!readOk) {
    status = Fail(kName, SectionReadFailedMessage(*key), kRejected);
  } else if (!writeOk) {
    status = Fail(kName, "cannot write " + partial, kUsage);
  } else if (check.Value() != s.checkValue) {
    status = Fail(kName, SectionCheckFailedMessage(*key), kRejected);
  } else if (std::rename(partial.c_str(), out.c_str()) != 0) {
    status = Fail(kName, "cannot rename " + partial + " to " + out, kUsage);
  }
  if (status != kGood) {
    unlink(partial.c_str());
    return status;
  }
  std::printf("%s: %u bytes, check 0x%08X\n", out.c_str(), s.size, s.checkValue);
  return kGood;
}

}  // namespace

FLASHERY_PACK_COMMAND({kName, "PKG SECTION OUT [--codepage N]", "copy one section of a package into a file",
                       "Copies the section SECTION of the package PKG into the file OUT. SECTION\n"
                       "is BL, NK, MLO, userdata, system, Env, cache, Recovery, Extend1..Extend5\n"
                       "(any case) or the name of an Extend section. The section's check value is\n"
                       "computed on the way; OUT is written only when it matches the stored one.\n"
                       "Exit status: 0 written, 1 the header check fails, or the section is absent,\n"
                       "outside the file or its check differs, 2 bad arguments or PKG cannot be read.",
                       &RunExtract});

}  // namespace flashery::pack
