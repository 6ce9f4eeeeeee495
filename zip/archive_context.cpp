#include "zip/archive_context.h"

namespace flashery {

std::unique_ptr<ArchiveContext> OpenArchiveContext(int fd, uint64_t archiveStart, uint64_t archiveSize,
                                                   uint64_t centralDirOffset, std::string* diagnostic) {
  auto context = std::make_unique<ArchiveContext>();
  if (context->reader.Attach(fd, archiveStart, archiveSize, centralDirOffset) < 1 ||
      context->reader.ReadDirectory(context->entries) < 0) {
    if (diagnostic) *diagnostic = context->reader.diagnostic();
    return nullptr;
  }
  return context;
}

int ExtractContextEntry(ArchiveContext& context, const ZipEntry& entry, const std::string& folderPrefix,
                        const std::string& fileName) {
  if (entry.isDirectory) return 1;
  if (entry.encrypted) context.reader.SetPassword(context.password);
  return context.reader.ExtractEntry(entry, folderPrefix + (fileName.empty() ? entry.name : fileName));
}

}  // namespace flashery
