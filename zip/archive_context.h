// The thin layer staging uses on top of the zip reader: an opened archive
// with its entry list and the password given to encrypted entries.
//
// The password is empty unless a caller sets one; the station stages its
// preset applications without one, so an encrypted entry is decrypted with
// the empty password.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "zip/zip_entry.h"
#include "zip/zip_reader.h"

namespace flashery {

struct ArchiveContext {
  std::string password;
  std::vector<ZipEntry> entries;
  ZipReader reader;
};

// Attaches a reader to the archive at [archiveStart, archiveStart +
// archiveSize) of fd and reads its directory; nullptr on failure, with the
// reader's text in *diagnostic (optional).
std::unique_ptr<ArchiveContext> OpenArchiveContext(int fd, uint64_t archiveStart, uint64_t archiveSize,
                                                   uint64_t centralDirOffset, std::string* diagnostic = nullptr);

// Writes a file entry to folderPrefix + fileName (the entry's own name when
// fileName is empty); 1 at once for a folder entry. Results as
// ZipReader::ExtractEntry.
int ExtractContextEntry(ArchiveContext& context, const ZipEntry& entry, const std::string& folderPrefix,
                        const std::string& fileName = {});

}  // namespace flashery
