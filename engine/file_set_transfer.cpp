#include "engine/file_set_transfer.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "device/port_commands.h"
#include "engine/block_plan.h"
#include "engine/handset_name.h"
#include "engine/handset_wait.h"
#include "engine/local_file.h"
#include "engine/storage_procedures.h"
#include "package/crc16.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "text/job_listener.h"
#include "text/station_texts.h"
#include "text/text_ids.h"
#include "text/text_table.h"

namespace flashery {

namespace {

constexpr size_t kMinFolderLength = 5;
constexpr uint32_t kBadPathPauseMs = 800;
constexpr uint32_t kPreparePauseMs = 200;
constexpr int kAttempts = 5;
constexpr uint32_t kAttemptPauseMs = 500;
constexpr uint32_t kGiveUpPauseMs = 800;
constexpr uint32_t kRefusedBlockPauseMs = 2000;
constexpr int kMaxBlockRepeatsCounted = 20;  // 1 send + 22 repeats
constexpr uint32_t kLargeFileBytes = 104857600;
constexpr uint32_t kLargeFilePauseMs = 500;

std::string T(const PortDevice& dev, int id) { return dev.Text(id); }

// The file's own name, blanks trimmed at both ends, for messages.
std::string ShortName(const std::string& path) {
  std::string s = BaseName(path);
  size_t b = s.find_first_not_of(' ');
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::optional<std::string> MapName(PortDevice& dev, const std::string& setFolder,
                                   const std::string& localPath, const std::string& root, Codepage codepage) {
  auto name = MapToHandsetName(setFolder, localPath, root, codepage);
  if (!name && !root.empty()) ReportMessage(dev.out, T(dev, kTextOutsideFileSets) + localPath);
  return name;
}

// Whether the entry's name can stand in the set's list (see the header);
// when not, the message names the file and the set fails.
bool NameCanBeSent(PortDevice& dev, const std::string& path, const std::string& name, Codepage codepage) {
  std::optional<std::string> decoded = DiskNameToUtf8(name, codepage);
  const char* fault = decoded ? ListNameFault(*decoded, codepage)
                              : "the name is valid neither in UTF-8 nor in the station's code page";
  if (!fault) return true;
  std::string shown = IsValidUtf8(path) ? path : DirName(path) + "/" + decoded.value_or("?");
  ReportMessage(dev.out, dev.texts().Get(station_text::kNameNotListable) + ": " + shown + " (" + fault + ")");
  return false;
}

bool PrepareForSet(PortDevice& dev, const FileSetProfile& p) {
  if (!PrepareStorageArea(dev, p.firstMode)) return false;
  if (p.secondMode == 0) return true;
  dev.clock().SleepMs(kPreparePauseMs);
  return PrepareStorageArea(dev, p.secondMode);
}

}  // namespace

bool TransferFileSet(PortDevice& dev, FileSetKind kind, const std::string& folder, int formatMode,
                     Codepage codepage) {
  const FileSetProfile& p = FileSetProfileFor(kind);
  const std::string label = T(dev, p.labelTextId);
  if (folder.size() < kMinFolderLength) {
    std::string m = label + T(dev, kTextInvalidPath) + folder;
    WriteLogText(dev.out, m);
    ShowStatusText(dev.out, m);
    WriteLogText(dev.out, "\r\n");
    dev.clock().SleepMs(kBadPathPauseMs);
    return false;
  }
  if (formatMode == 0 && !PrepareForSet(dev, p)) {
    ReportMessage(dev.out, label + T(dev, kTextTransferFailed));
    return false;
  }
  WriteLogText(dev.out, p.beginLogText);
  WriteLogText(dev.out, "\r\n");
  if (p.beginOnStatusLine) ShowStatusText(dev.out, p.beginLogText);
  if (!CopyFolderToHandset(dev, folder, folder, p.handsetRoot, codepage)) {
    ReportMessage(dev.out, label + T(dev, kTextTransferFailed));
    return false;
  }
  dev.out.progressPosition = p.milestone;
  ReportMessage(dev.out, label + T(dev, kTextFinished));
  return true;
}

bool CopyFolderToHandset(PortDevice& dev, const std::string& setFolder, const std::string& folder,
                         const std::string& root, Codepage codepage) {
  if (!IsDirectory(folder)) return true;
  bool listed = false;
  std::vector<DirEntry> entries = ListFolder(folder, &listed, codepage);
  if (!listed) return false;
  for (const DirEntry& e : entries) {
    std::string path = JoinPath(folder, e.name);
    if (!e.isDir && IsSkippedListFile(path)) continue;
    if (!NameCanBeSent(dev, path, e.name, codepage)) return false;
    if (e.isDir) {
      bool created = false;
      for (int i = 0; i < kAttempts && !created; ++i) created = CreateHandsetFolder(dev, setFolder, path, root, codepage);
      if (!created) {
        ReportMessage(dev.out, T(dev, kTextFolderFailedTooOften));
        dev.clock().SleepMs(kGiveUpPauseMs);
        return false;
      }
      if (!CopyFolderToHandset(dev, setFolder, path, root, codepage)) return false;
      continue;
    }
    bool copied = false;
    for (int i = 0; i < kAttempts && !copied; ++i) {
      bool created = CreateHandsetFile(dev, setFolder, path, root, codepage);
      bool sent = created && SendFileContent(dev, path);
      bool committed = CommitHandsetFile(dev);
      copied = created && sent && committed;
      if (!copied) dev.clock().SleepMs(kAttemptPauseMs);
    }
    if (!copied) {
      ReportMessage(dev.out, T(dev, kTextFileFailedTooOften));
      dev.clock().SleepMs(kGiveUpPauseMs);
      return false;
    }
  }
  return true;
}

bool CreateHandsetFolder(PortDevice& dev, const std::string& setFolder, const std::string& localPath,
                         const std::string& root, Codepage codepage) {
  if (localPath.empty() || root.empty()) {
    ReportMessage(dev.out, T(dev, kTextEmptyPathOrRoot));
    return false;
  }
  auto name = MapName(dev, setFolder, localPath, root, codepage);
  if (!name) {
    ReportMessage(dev.out, T(dev, kTextOutsideFileSets) + localPath);
    return false;
  }
  ReportMessage(dev.out, T(dev, kTextCreatingOnHandset) + *name);
  if (SendCreateFolder(dev, *name)) {
    ReportMessage(dev.out, T(dev, kTextFolderCreated) + *name);
    return true;
  }
  ReportMessage(dev.out, T(dev, kTextFolderRefused) + *name);
  return false;
}

bool CreateHandsetFile(PortDevice& dev, const std::string& setFolder, const std::string& localPath,
                       const std::string& root, Codepage codepage) {
  ProbeAlive(dev);
  auto name = MapName(dev, setFolder, localPath, root, codepage);
  if (!name) {
    ReportMessage(dev.out, T(dev, kTextOutsideFileSets) + localPath);
    return false;
  }
  if (dev.out.listener && !dev.out.stopped.stop_requested()) dev.out.listener->OnItem(dev.out.port, *name);
  ShowStatusText(dev.out, T(dev, kTextCreatingOnHandset) + *name);
  if (SendBeginFile(dev, *name)) {
    ReportMessage(dev.out, T(dev, kTextFileOpenedOnHandset) + *name);
    return true;
  }
  ReportMessage(dev.out, T(dev, kTextFileRefused) + *name);
  return false;
}

bool SendFileContent(PortDevice& dev, const std::string& localPath) {
  if (localPath.empty()) {
    WriteLogText(dev.out, T(dev, kTextInvalidPath));
    WriteLogText(dev.out, "\r\n");
    return false;
  }
  const std::string shortName = ShortName(localPath);
  LocalFile file;
  int error = 0;
  if (!file.Open(localPath, error)) {
    ReportMessage(dev.out, T(dev, kTextLocalFileOpenFailed) + shortName);
    return false;
  }
  // A size that does not fit the 32-bit field counts as unreadable.
  std::optional<uint64_t> size = file.RegularSize();
  if (!size || *size >= kUnreadableSize) {
    dev.fileSize = kUnreadableSize;
    ReportMessage(dev.out, shortName + T(dev, kTextSizeUnknown));
    return false;
  }
  dev.fileSize = static_cast<uint32_t>(*size);
  if (dev.fileSize == 0) {
    ReportMessage(dev.out, T(dev, kTextEmptyFile) + shortName);
    return true;
  }

  std::vector<uint8_t> buffer(kBlockBytes);
  const std::string sendingPrefix = shortName + T(dev, kTextSending);
  std::string progressText;
  const uint32_t fileSize = dev.fileSize;
  uint32_t sent = 0;
  uint16_t nextSeq = 1, blockSeq = 1;
  bool repeat = false;
  int repeatCount = 0;
  bool result = true;
  while (sent < fileSize) {
    BlockStep b = NextBlock(fileSize, sent, 0, false);
    if (!repeat) {
      blockSeq = nextSeq;
      nextSeq = NextBlockSequence(nextSeq);
    }
    ProbeAlive(dev);
    if (!file.ReadAt(buffer.data(), b.length, sent)) {
      WriteLogText(dev.out, T(dev, kTextReadFailed) + FormatString("%ld", static_cast<long>(sent)));
      WriteLogText(dev.out, "\r\n");
      return false;
    }
    uint16_t check = BlockCheckValue(buffer.data(), b.length);
    // A block enters the file's check register once, on its first send.
    if (!repeat) dev.fileCheck = Crc16Update(buffer.data(), b.length, dev.fileCheck);
    if (repeat && repeatCount <= kMaxBlockRepeatsCounted) {
      ++repeatCount;
      repeat = false;
    }
    if (SendFileBlock(dev, buffer.data(), b.length, check, b.last, blockSeq)) {
      sent += b.length;
      repeat = false;
      repeatCount = 0;
      NoteTransferred(dev.out, b.length);
      // The status line is rebuilt in place, its storage reused from block to block.
      char percent[48];
      int n = std::snprintf(percent, sizeof percent, " (%2.1f %%) ...", sent * 100.0 / fileSize);
      progressText.assign(sendingPrefix);
      if (n > 0) progressText.append(percent, std::min<size_t>(static_cast<size_t>(n), sizeof percent - 1));
      ShowStatusText(dev.out, progressText);
      continue;
    }
    if (repeat) {  // the 23rd send of this block
      WriteLog(dev.out, "%s->%d ", (shortName + T(dev, kTextBlockGivenUp)).c_str(), static_cast<int>(sent));
      WriteLogText(dev.out, "\r\n");
      result = false;
      break;
    }
    WriteLogText(dev.out, shortName + T(dev, kTextBlockRefused));
    WriteLogText(dev.out, "\r\n");
    repeat = true;
    dev.clock().SleepMs(kRefusedBlockPauseMs);
  }
  if (fileSize > kLargeFileBytes) dev.clock().SleepMs(kLargeFilePauseMs);
  return result;
}

bool CommitHandsetFile(PortDevice& dev) {
  ProbeAlive(dev);
  return SendEndFile(dev);
}

}  // namespace flashery
