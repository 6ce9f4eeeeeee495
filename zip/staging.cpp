#include "zip/staging.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "package/package_context.h"
#include "package/package_file.h"
#include "package/package_open.h"
#include "package/qfm_header.h"
#include "package/qfm_package.h"
#include "platform/paths.h"
#include "text/prompter.h"
#include "text/status.h"
#include "zip/archive_context.h"
#include "zip/staging_folders.h"
#include "zip/staging_messages.h"
#include "zip/station_files.h"

namespace flashery {

namespace {

// The Extend slots whose names mark them as application archives.
std::vector<ArchiveRegion> FindArchiveRegions(const QfmHeader& header, const std::string& destination,
                                              Codepage legacy) {
  std::vector<ArchiveRegion> regions;
  for (int k = 1; k <= kQfmExtendSlots; ++k) {
    size_t i = static_cast<size_t>(k - 1);
    std::string name = header.Text(qfm::kExtendNames + qfm::kExtendNameBytes * i, qfm::kExtendNameBytes, legacy);
    if (name.find("zip") == std::string::npos) continue;
    ArchiveRegion r;
    r.slot = k;
    r.check = header.U32(qfm::kExtendChecks + 4 * i);
    r.offset = header.U32(qfm::kExtendOffsets + 4 * i);
    r.size = header.U32(qfm::kExtendSizes + 4 * i);
    r.name = name;
    r.destination = destination;
    regions.push_back(std::move(r));
  }
  return regions;
}

std::string JoinComponents(const std::vector<std::string>& c, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < c.size(); ++i) {
    if (i) out += '/';
    out += c[i];
  }
  return out;
}

// The staging message for a directory the reader refused.
std::string RefusalMessage(const ZipReader& reader) {
  const char* name = reader.refusedName().c_str();
  switch (reader.refusal()) {
    case DirectoryRefusal::Layout: return staging_text::kDirectoryDamaged;
    case DirectoryRefusal::BadName:
    case DirectoryRefusal::SymbolicLink: return FormatString(staging_text::kBadEntryName, name);
    case DirectoryRefusal::LocalHeader: return FormatString(staging_text::kLocalHeaderMismatch, name);
    case DirectoryRefusal::SharedBytes: return FormatString(staging_text::kEntriesOverlap, name);
    case DirectoryRefusal::NameClash: return FormatString(staging_text::kNameClash, name);
    case DirectoryRefusal::None:
    case DirectoryRefusal::Unreadable: break;
  }
  return {};
}

// Moves the regular file at fullPath to <destination>/Upgrade_Backup/<n>.dy
// under a name nothing has yet. Anything else in the way (a folder, a
// link, a pipe) stays where it is, and an Upgrade_Backup that is not a
// real folder receives nothing.
bool MoveAside(const std::string& fullPath, const std::string& destination, StagingContext& context) {
  struct stat st {};
  if (::lstat(fullPath.c_str(), &st) != 0) return false;  // nothing in the way: the entry itself failed
  if (!S_ISREG(st.st_mode)) {
    context.prompter.Prompt(FormatString(staging_text::kNotAFileToMove, fullPath.c_str()));
    return false;
  }
  const std::string backup = destination + "/Upgrade_Backup";
  if (::lstat(backup.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    context.prompter.Prompt(FormatString(staging_text::kBackupIsLink, backup.c_str()));
    return false;
  }
  int dir = ::open(backup.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dir < 0) return false;
  bool moved = false;
  for (int attempt = 0; attempt < 1000 && !moved; ++attempt) {
    const std::string name = std::to_string(++context.backupCounter) + ".dy";
    if (::renameat2(AT_FDCWD, fullPath.c_str(), dir, name.c_str(), RENAME_NOREPLACE) == 0) {
      moved = true;
    } else if (errno == EINVAL || errno == ENOSYS) {  // no such rename here: link, then unlink
      if (::linkat(AT_FDCWD, fullPath.c_str(), dir, name.c_str(), 0) == 0) {
        moved = ::unlink(fullPath.c_str()) == 0;
        if (!moved) ::unlinkat(dir, name.c_str(), 0);
        break;
      }
      if (errno != EEXIST) break;
    } else if (errno != EEXIST) {
      break;
    }
  }
  ::close(dir);
  return moved;
}

// Opens an archive and refuses it, before anything is written, when the
// reader refuses its directory or an entry would land on one of the
// station's own files. A refusal shows its message at once.
std::unique_ptr<ArchiveContext> OpenChecked(int fd, const ArchiveRegion& region, StagingContext& context,
                                            std::vector<std::string>* diagnostics) {
  auto note = [&](const std::string& text) {
    if (diagnostics) diagnostics->push_back(text);
  };
  auto archive = std::make_unique<ArchiveContext>();
  archive->reader.SetLegacyCodepage(context.legacy);
  if (archive->reader.Attach(fd, region.offset, region.size, region.centralDirOffset) < 1 ||
      archive->reader.ReadDirectory(archive->entries) < 0) {
    note(archive->reader.diagnostic());
    if (std::string message = RefusalMessage(archive->reader); !message.empty()) context.prompter.Prompt(message);
    return nullptr;
  }
  if (archive->entries.empty()) {
    note("the archive holds no entries");
    return nullptr;
  }
  for (const ZipEntry& entry : archive->entries) {
    std::vector<std::string> parts = entry.Components();
    if (IsStationFileName(parts.front(), !entry.isDirectory && parts.size() == 1)) {
      note("entry would write the station's own " + parts.front());
      context.prompter.Prompt(FormatString(staging_text::kStationFile, parts.front().c_str()));
      return nullptr;
    }
  }
  // Never more bytes than the archive declares, in all.
  uint64_t declared = 0;
  for (const ZipEntry& entry : archive->entries) declared += entry.uncompressedSize;
  archive->reader.SetWriteBudget(declared);
  return archive;
}

int UnpackOpened(ArchiveContext& archive, const ArchiveRegion& region, std::string& firstName,
                 StagingContext& context, std::vector<std::string>* diagnostics) {
  auto note = [&](const std::string& text) {
    if (diagnostics) diagnostics->push_back(text);
  };
  firstName = archive.entries.front().Components().front();
  const std::string& destination = region.destination;
  int result = 1;
  for (const ZipEntry& entry : archive.entries) {
    std::vector<std::string> parts = entry.Components();
    if (entry.isDirectory) {
      if (!CreateFolderChain(parts, parts.size(), destination, context.prompter)) result = 0;
      continue;
    }
    if (!CreateFolderChain(parts, parts.size() - 1, destination, context.prompter)) {
      result = 0;
      break;
    }
    std::string dir = JoinComponents(parts, parts.size() - 1);
    std::string prefix = destination + "/" + (dir.empty() ? "" : dir + "/");
    std::string fullPath = prefix + entry.name;
    int r = ExtractContextEntry(archive, entry, prefix, entry.name);
    if (r < 1) {
      note(entry.name + ": " + archive.reader.diagnostic());
      if (MoveAside(fullPath, destination, context)) {
        r = ExtractContextEntry(archive, entry, prefix, entry.name);
        if (r < 1) note(entry.name + ": " + archive.reader.diagnostic());
      }
    }
    if (r < 1) {
      result = 0;
      break;
    }
    if (!CheckFileSize(entry.uncompressedSize, fullPath)) {
      note(entry.name + ": unpacked file does not have its declared size");
      result = 0;
      break;
    }
  }
  return result;
}

}  // namespace

int UnpackArchive(int fd, const ArchiveRegion& region, const std::optional<std::string>& password,
                  std::string& firstName, StagingContext& context, std::vector<std::string>* diagnostics) {
  firstName.clear();
  auto archive = OpenChecked(fd, region, context, diagnostics);
  if (!archive) return 0;
  if (password) archive->password = *password;
  return UnpackOpened(*archive, region, firstName, context, diagnostics);
}

int StageAppPackages(QfmPackage& package, const std::string& packagePath, const std::string& appFolder,
                     StagingContext& context, StagingReport* report) {
  int error = 0;
  auto file = PackageFile::Open(packagePath, &error);
  if (!file) {
    context.prompter.Prompt(FormatString(staging_text::kPackageOpenFailed, error));
    return 0;
  }
  QfmHeader header;
  if (!ReadPackageHeader(*file, header, PackageContext{context.texts, context.prompter, context.legacy})) {
    context.prompter.Prompt(staging_text::kHeaderFailed);
    return 0;
  }
  std::vector<ArchiveRegion> regions = FindArchiveRegions(header, appFolder, context.legacy);
  for (const auto& r : regions) package.extend(r.slot).present = 0;
  if (regions.empty()) return 1;

  for (auto& r : regions) {
    ScanFailure why = ScanFailure::None;
    if (!ScanArchiveSize(file->fd(), r, &why)) {
      if (why == ScanFailure::EndRecordsDisagree) context.prompter.Prompt(staging_text::kEndRecordsDisagree);
      context.prompter.Prompt(staging_text::kSizeScanFailed);
      return 0;
    }
  }

  // Every archive is checked before any of them writes a byte.
  std::vector<std::unique_ptr<ArchiveContext>> archives;
  bool refused = false;
  for (const auto& r : regions) {
    StagedArchive staged;
    staged.region = r;
    archives.push_back(OpenChecked(file->fd(), r, context, &staged.diagnostics));
    if (archives.back()) continue;
    refused = true;
    context.prompter.Prompt(staging_text::kArchiveFailed);
    if (report) report->archives.push_back(std::move(staged));
  }
  if (refused) return 0;

  bool failed = false;
  std::map<std::string, uint64_t> expectedByTop;  // archives sharing a top folder add up
  for (size_t i = 0; i < regions.size(); ++i) {
    const ArchiveRegion& r = regions[i];
    StagedArchive staged;
    staged.region = r;
    std::string firstName;
    staged.unpacked = UnpackOpened(*archives[i], r, firstName, context, &staged.diagnostics) == 1;
    if (!staged.unpacked) {
      context.prompter.Prompt(staging_text::kArchiveFailed);
      failed = true;
    }
    staged.firstName = firstName;
    if (!firstName.empty()) {
      uint64_t expected = expectedByTop[firstName] += r.totalBytes;
      staged.unpackedBytes = TreeFileBytes(JoinPath(appFolder, firstName));
      if (staged.unpackedBytes != expected) {
        context.prompter.Prompt(FormatString(staging_text::kSizeMismatch, static_cast<long>(expected),
                                             static_cast<long>(staged.unpackedBytes)));
        failed = true;
      }
    }
    if (report) report->archives.push_back(std::move(staged));
  }
  return failed ? 0 : 1;
}

}  // namespace flashery
