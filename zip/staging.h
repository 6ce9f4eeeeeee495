// Application package staging: the preset application archives that travel
// in the Extend sections of a package are unpacked, straight out of the
// package file, into the program folder (normally as its "quillon" brand
// folder), and every unpacked tree is checked against the size its
// archive declares.
//
// StageAppPackages(package, packagePath, appFolder, context):
//   1. the package file cannot be opened: "QFM 打开失败 %d" (errno), 0;
//   2. the header cannot be read (the package layer shows its own
//      message first): "获取QFM文件信息失败\r", 0;
//   3. every Extend slot whose name contains "zip" (case-sensitive; the
//      present byte is not consulted) holds an archive; its present flag
//      in `package` is cleared, so the section is not also written to the
//      handsets as an image;
//   4. no such slot: 1;
//   5. each archive's directory and size are scanned (archive_region.h);
//      any failure: "获取 APP 安装包 大小失败\r\n" (after the message of
//      two disagreeing end records when that was the cause), 0;
//   6. every archive is opened and checked before any is unpacked: the
//      reader refuses directories other readers would read otherwise
//      (zip_reader.h), and no entry may land on a file of the station's
//      own (station_files.h). A refused archive shows its message (see
//      staging_messages.h) and "zip文件解析失败！"; nothing is written, 0;
//   7. each archive is unpacked (UnpackArchive); a failure shows
//      "zip文件解析失败！" and the next archive is still tried. Then the
//      file bytes under appFolder/<top folder of the archive> must equal
//      the archive's declared total (summed over the archives unpacked so
//      far into the same top folder); otherwise the size message with both
//      totals. Result 1 when nothing failed.
//
// UnpackArchive(fd, region, password, firstName, context): the archive is
// checked as in step 6, then every entry in list order. A folder entry
// makes its folder (and any missing folder above it); a file entry makes
// the folders above it, then is extracted; all files together never take
// more bytes than the archive declares. When the entry cannot be written
// over a regular file that is in the way, that file (only a regular file,
// never a folder, a link or anything else) is moved aside to
// <destination>/Upgrade_Backup/<n>.dy (n counts up for the whole process;
// a name already taken is skipped, nothing is overwritten; an
// Upgrade_Backup that is a symbolic link is refused) and the entry is
// extracted once more; if it still fails, or its file does not have the
// declared size, the archive fails and the loop stops. firstName receives
// the first component of the first entry (the archive's top folder, e.g.
// "quillon").
//
// Everything is confined to the destination: names that would leave it are
// refused by the reader, and no existing symbolic link is ever followed.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "zip/archive_region.h"

namespace flashery {

class Prompter;
class TextTable;
struct QfmPackage;

struct StagingContext {
  const TextTable& texts;
  Prompter& prompter;
  std::atomic<unsigned>& backupCounter;  // process-wide name counter of moved-aside files
  Codepage legacy = Codepage::Gbk;
};

// What happened to each archive, for the release tool and the log.
struct StagedArchive {
  ArchiveRegion region;
  std::string firstName;
  uint64_t unpackedBytes = 0;
  bool unpacked = false;
  std::vector<std::string> diagnostics;  // the reader's texts of failed entries
};

struct StagingReport {
  std::vector<StagedArchive> archives;
};

int StageAppPackages(QfmPackage& package, const std::string& packagePath, const std::string& appFolder,
                     StagingContext& context, StagingReport* report = nullptr);

int UnpackArchive(int fd, const ArchiveRegion& region, const std::optional<std::string>& password,
                  std::string& firstName, StagingContext& context, std::vector<std::string>* diagnostics = nullptr);

}  // namespace flashery
