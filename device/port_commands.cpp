#include "device/port_commands.h"

#include <cstring>
#include <vector>

#include "platform/clock.h"
#include "text/text_ids.h"

namespace flashery {

namespace {

constexpr uint32_t kCommandPauseMs = 200;
constexpr int kCompletionPolls = 20;
constexpr uint32_t kCompletionPollPauseMs = 500;

bool Send(PortDevice& dev, const VendorCommand& cmd) { return dev.SendCommand(cmd, nullptr); }

// Image commands pause after success and report text 74 on failure.
bool SendImageCommand(PortDevice& dev, const VendorCommand& cmd) {
  if (Send(dev, cmd)) {
    dev.clock().SleepMs(kCommandPauseMs);
    return true;
  }
  ReportMessage(dev.out, dev.Text(kTextCommandRefused));
  return false;
}

bool SendName(PortDevice& dev, VendorCommand (*build)(uint16_t), std::string_view name) {
  if (name.size() > 0xFFFF) return false;
  std::vector<uint8_t> bytes(name.begin(), name.end());
  VendorCommand cmd = build(static_cast<uint16_t>(bytes.size()));
  return dev.SendCommand(cmd, bytes.empty() ? nullptr : bytes.data());
}

bool ValidMode(int mode) { return mode >= 1 && mode <= 5; }

}  // namespace

bool CheckAlive(PortDevice& dev, bool report) {
  dev.logTransportErrors = false;
  if (!Send(dev, CheckAliveCommand())) return false;
  if (report) ReportMessage(dev.out, dev.Text(kTextHandsetAnswering));
  dev.logTransportErrors = true;
  return true;
}

bool OpenDownload(PortDevice& dev) {
  if (Send(dev, OpenDownloadCommand())) {
    ReportMessage(dev.out, dev.Text(kTextOpenDownloadAccepted));
    return true;
  }
  ReportMessage(dev.out, dev.Text(kTextOpenDownloadRefused));
  return false;
}

bool QueryState(PortDevice& dev, bool& reachable) {
  uint8_t reply[kQueryStateLength] = {};
  reachable = dev.SendCommand(QueryStateCommand(), reply);
  return reachable && reply[0] == 2;
}

bool FinishImages(PortDevice& dev, bool moreWorkFollows) {
  return Send(dev, FinishImagesCommand(moreWorkFollows));
}

bool BeginImage(PortDevice& dev, uint8_t imageCode, uint32_t imageSize) {
  return SendImageCommand(dev, BeginImageCommand(imageCode, imageSize));
}

bool EndImage(PortDevice& dev, uint8_t imageCode, uint32_t imageSize) {
  return SendImageCommand(dev, EndImageCommand(imageCode, imageSize));
}

bool CommitSegment(PortDevice& dev, uint8_t imageCode, uint32_t segmentLength,
                   uint8_t segmentNumber, bool lastSegment) {
  return SendImageCommand(
      dev, CommitSegmentCommand(imageCode, segmentLength, segmentNumber, lastSegment));
}

bool SendSegmentCheck(PortDevice& dev, uint8_t imageCode, uint32_t checkRegister) {
  return SendImageCommand(dev, SendSegmentCheckCommand(imageCode, checkRegister));
}

bool AbortImage(PortDevice& dev) {
  bool ok = Send(dev, AbortImageCommand());
  ReportMessage(dev.out, dev.Text(kTextImageAborted));
  return ok;
}

bool FinishFileSets(PortDevice& dev) {
  if (Send(dev, FinishFileSetsCommand())) {
    ReportMessage(dev.out, dev.Text(kTextWaitingForHandset) + "0 S...");
    return true;
  }
  ReportMessage(dev.out, dev.Text(kTextHandsetNotReady));
  return false;
}

bool WaitCompletion(PortDevice& dev) {
  if (!Send(dev, StartCompletionCommand())) {
    ReportMessage(dev.out, dev.Text(kTextFinishFailed));
    return false;
  }
  for (int r = 0; r < kCompletionPolls; ++r) {
    dev.clock().SleepMs(kCompletionPollPauseMs);
    uint8_t reply[kPollCompletionLength] = {};
    if (!dev.SendCommand(PollCompletionCommand(), reply)) {
      ReportMessage(dev.out, dev.Text(kTextFinishFailed));
      continue;
    }
    if (ReplyTextEquals(reply, sizeof reply, "1")) {
      dev.out.progressPosition = kProgressMax;
      ReportMessage(dev.out, dev.Text(kTextHandsetFinished) + FormatString("%d S...", r / 2));
      return true;
    }
    ShowStatusText(dev.out, dev.Text(kTextWaitingForFinish) + FormatString("%d S.....\r\n", r / 2));
  }
  ReportMessage(dev.out, dev.Text(kTextFinishFailed));
  return false;
}

bool SendImageBlock(PortDevice& dev, uint8_t* block, uint32_t length, uint16_t blockCheck,
                    bool lastBlock) {
  if (length > kMaxBlockLength || (length > 0 && block == nullptr)) return false;
  return dev.SendCommand(
      WriteImageBlockCommand(static_cast<uint16_t>(length), blockCheck, lastBlock), block);
}

bool SendFileBlock(PortDevice& dev, uint8_t* block, uint32_t length, uint16_t blockCheck,
                   bool lastBlock, uint16_t sequence) {
  if (length > kMaxBlockLength || (length > 0 && block == nullptr)) return false;
  return dev.SendCommand(
      WriteFileBlockCommand(static_cast<uint16_t>(length), blockCheck, lastBlock, sequence),
      block);
}

bool SendCreateFolder(PortDevice& dev, std::string_view handsetName) {
  return SendName(dev, CreateFolderCommand, handsetName);
}

bool SendBeginFile(PortDevice& dev, std::string_view handsetName) {
  return SendName(dev, BeginFileCommand, handsetName);
}

bool SendEndFile(PortDevice& dev) {
  bool ok = Send(dev, EndFileCommand(dev.fileSize, dev.fileCheck));
  dev.fileSize = 0;
  dev.fileCheck = 0;
  return ok;
}

bool SendSelectMode(PortDevice& dev) { return Send(dev, SelectModeCommand()); }

bool SendRestartHandset(PortDevice& dev, bool commandLineMode) {
  return Send(dev, RestartHandsetCommand(commandLineMode));
}

bool SendPrepareStorage(PortDevice& dev, int mode) {
  if (!ValidMode(mode)) return false;
  return Send(dev, PrepareStorageCommand(static_cast<uint8_t>(mode)));
}

bool SendPollStorage(PortDevice& dev, int mode, std::array<uint8_t, kPollStorageLength>& reply) {
  reply.fill(0);
  if (!ValidMode(mode)) return false;
  return dev.SendCommand(PollStorageCommand(static_cast<uint8_t>(mode)), reply.data());
}

bool ReplyTextEquals(const uint8_t* reply, size_t size, std::string_view text) {
  if (reply == nullptr) return false;
  const void* zero = std::memchr(reply, 0, size);
  size_t n = zero ? static_cast<size_t>(static_cast<const uint8_t*>(zero) - reply) : size;
  return n == text.size() && std::memcmp(reply, text.data(), n) == 0;
}

bool StorageReplyIsReady(int mode, const uint8_t* reply, size_t size) {
  if (!ValidMode(mode)) return false;
  return ReplyTextEquals(reply, size, mode == 1 ? "end=p1=1:p2=1:p3=1:p4=1" : "1");
}

}  // namespace flashery
