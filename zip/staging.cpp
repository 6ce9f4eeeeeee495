#include "zip/staging.h"

#include <cstdio>
#include <map>

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

}  // namespace

int UnpackArchive(int fd, const ArchiveRegion& region, const std::optional<std::string>& password,
                  std::string& firstName, StagingContext& context, std::vector<std::string>* diagnostics) {
  auto note = [&](const std::string& text) {
    if (diagnostics) diagnostics->push_back(text);
  };
  firstName.clear();
  std::string why;
  auto archive = OpenArchiveContext(fd, region.offset, region.size, region.centralDirOffset, &why);
  if (!archive) {
    note(why);
    return 0;
  }
  archive->reader.SetLegacyCodepage(context.legacy);
  if (password) archive->password = *password;
  if (archive->entries.empty()) {
    note("the archive holds no entries");
    return 0;
  }
  firstName = archive->entries.front().Components().front();

  const std::string& destination = region.destination;
  int result = 1;
  for (const ZipEntry& entry : archive->entries) {
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
    int r = ExtractContextEntry(*archive, entry, prefix, entry.name);
    if (r < 1) {
      note(entry.name + ": " + archive->reader.diagnostic());
      unsigned n = ++context.backupCounter;
      std::string backup = destination + "/Upgrade_Backup/" + std::to_string(n) + ".dy";
      if (std::rename(fullPath.c_str(), backup.c_str()) == 0) {
        r = ExtractContextEntry(*archive, entry, prefix, entry.name);
        if (r < 1) note(entry.name + ": " + archive->reader.diagnostic());
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
    if (!ScanArchiveSize(file->fd(), r)) {
      context.prompter.Prompt(staging_text::kSizeScanFailed);
      return 0;
    }
  }

  bool failed = false;
  std::map<std::string, uint64_t> expectedByTop;  // archives sharing a top folder add up
  for (const auto& r : regions) {
    StagedArchive staged;
    staged.region = r;
    std::string firstName;
    staged.unpacked = UnpackArchive(file->fd(), r, std::nullopt, firstName, context, &staged.diagnostics) == 1;
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
