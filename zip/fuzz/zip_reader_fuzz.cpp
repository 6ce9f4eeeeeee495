// libFuzzer target: an archive region of arbitrary bytes, handled as
// staging handles it: the size scan, the directory, then every file entry
// extracted (into a discarding sink) with the station's empty password.
// Entry names are checked to stay inside the unpacking folder and to hold
// no control characters; an accepted directory names no path twice.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "zip/archive_region.h"
#include "zip/name_clash.h"
#include "zip/output_window.h"
#include "zip/zip_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace flashery;
  int fd = ::memfd_create("archive", MFD_CLOEXEC);
  if (fd < 0) return 0;
  if (size && ::write(fd, data, size) != static_cast<ssize_t>(size)) {
    ::close(fd);
    return 0;
  }
  ArchiveRegion region;
  region.size = static_cast<uint32_t>(size);
  if (!ScanArchiveSize(fd, region)) region.centralDirOffset = 0;  // still read what is there

  ZipReader reader;
  std::vector<ZipEntry> entries;
  if (reader.Attach(fd, 0, size, region.centralDirOffset) == 1 && reader.ReadDirectory(entries) >= 0) {
    if (FindNameClash(entries) >= 0) std::abort();
    int extracted = 0;
    for (const ZipEntry& e : entries) {
      for (const std::string& c : e.Components()) {
        if (c.empty() || c == "." || c == ".." || c.find('/') != std::string::npos ||
            c.find('\\') != std::string::npos)
          std::abort();
        for (unsigned char b : c)
          if (b < 0x20 || b == 0x7F) std::abort();
      }
      if (e.isDirectory || ++extracted > 64) continue;
      DiscardSink sink;
      int r = reader.ExtractEntryTo(e, sink);
      if (sink.total > e.uncompressedSize) std::abort();
      if (r == 1 && sink.total != e.uncompressedSize) std::abort();
    }
  }
  ::close(fd);
  return 0;
}
