// libFuzzer target: a package file of arbitrary bytes, opened as the
// station opens it (header read, magic, header check, every declared
// section read back and checked) and then bound to an extension table.
//
// Random bytes rarely carry the magic and a right header check, so every
// input of at least a header's size is also opened a second time with the
// magic set and the header check sealed: the section fields then decide
// what happens, which is where the hostile offsets and sizes are.
//
// Checked besides memory safety:
//  - success: the path is kept, every section to be written lies inside the
//    file, Extend slots are taken from slot 1 without a gap, the texts are
//    valid UTF-8, and every bound Extend slot has a configured code;
//  - failure: no path is kept and the reason is given in the station's
//    words.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "package/extend_binding.h"
#include "package/package_open.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace {

using namespace flashery;

void Require(bool ok) {
  if (!ok) std::abort();
}

const TextTable& Texts() {
  static const TextTable texts = [] {
    TextTable t;
    t.LoadFrom(ProfileDocument::Parse("[Text]\n172=cannot open\n204=rejected\n205=header unreadable\n"
                                      "206=not a package\n207=Version\n208=System\n"));
    return t;
  }();
  return texts;
}

// The package file of every run, in a folder of its own (in memory when
// the machine has /dev/shm).
const std::string& PackagePath() {
  static const std::string path = [] {
    std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/pkgfuzz.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    static const std::string folder = pattern;
    std::atexit([] { RemoveTree(folder); });
    return folder + "/release.QFM";
  }();
  return path;
}

void OpenAndCheck(const std::vector<uint8_t>& bytes, uint8_t tableSeed) {
  const std::string& path = PackagePath();
  if (!WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())))
    return;
  RecordingPrompter prompter;
  PackageContext context{Texts(), prompter, (tableSeed & 1) ? Codepage::Big5 : Codepage::Gbk};
  QfmPackage package;
  // The table the settings give: slots named as the seeds name them, and
  // one name the input chooses from its own header.
  package.extensionTable.names = {"app.zip", "gps", "res", "brand", "", "x", "y"};
  package.extensionTable.codes = {1, 2, 3, 4, 5, 6, static_cast<uint8_t>(tableSeed | 1)};
  std::string error;
  bool opened = OpenPackage(package, path, error, context);
  if (!opened) {
    Require(package.packagePath.empty());
    Require(!error.empty());
    return;
  }
  Require(package.packagePath == path && error.empty());
  Require(IsValidUtf8(package.productName) && IsValidUtf8(package.versionName) &&
          IsValidUtf8(package.infoText));
  const uint64_t fileSize = bytes.size();
  bool gap = false;
  for (QfmSectionKey key : kQfmCheckOrder) {
    const QfmSection& s = package.section(key);
    Require(IsValidUtf8(s.name));
    if (ExtendSlotOf(key) != 0) {
      if (!s.IsPresent()) gap = true;
      Require(!(gap && s.IsPresent()));
    }
    if (s.IsPresent()) Require(s.offset <= fileSize && s.size <= fileSize - s.offset);
  }

  std::string bindError;
  if (BindExtendSections(package, bindError, Texts())) {
    for (int slot = 1; slot <= kQfmExtendSlots; ++slot) {
      const QfmSection& s = package.extend(slot);
      Require(s.IsPresent() ? s.fileCode != 0 : s.fileCode == 0);
    }
  } else {
    Require(!bindError.empty());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  std::vector<uint8_t> bytes(data, data + size);
  const uint8_t seed = size ? data[size - 1] : 0;
  OpenAndCheck(bytes, seed);
  if (size >= kQfmHeaderBytes) {
    QfmHeader header;
    std::copy(bytes.begin(), bytes.begin() + kQfmHeaderBytes, header.bytes.begin());
    header.SetMagic();
    header.Seal();
    std::copy(header.bytes.begin(), header.bytes.end(), bytes.begin());
    OpenAndCheck(bytes, seed);
  }
  return 0;
}
