#include "engine/storage_procedures.h"

#include <array>

#include "device/port_commands.h"
#include "engine/handset_wait.h"
#include "platform/clock.h"
#include "text/text_ids.h"

namespace flashery {

namespace {

constexpr int kReadyPolls = 300;
constexpr uint32_t kRestartPollPauseMs = 400;
constexpr int kPrepareSends = 10;
constexpr int kStoragePolls = 500;
constexpr uint32_t kStoragePauseMs = 500;

}  // namespace

bool RestartIntoStorage(PortDevice& dev, bool commandLineMode) {
  const std::string notReady = dev.Text(kTextHandsetNotReady);
  if (WaitUntilReady(dev, kReadyPolls, kRestartPollPauseMs, notReady, "%d s...") != ReadyWait::kReady) {
    ReportMessage(dev.out, notReady);
    return false;
  }
  return SendRestartHandset(dev, commandLineMode);
}

bool SelectStorageMode(PortDevice& dev) {
  if (WaitUntilReady(dev, kReadyPolls, 0, dev.Text(kTextSwitchingStorageMode), "%d s...") !=
      ReadyWait::kReady) {
    ReportMessage(dev.out, dev.Text(kTextHandsetNotReady));
    return false;
  }
  if (SendSelectMode(dev)) {
    ReportMessage(dev.out, dev.Text(kTextStorageModeSelected));
    return true;
  }
  ReportMessage(dev.out, dev.Text(kTextStorageModeRefused));
  return false;
}

bool PrepareStorageArea(PortDevice& dev, int mode) {
  Clock& clock = dev.clock();
  if (mode >= 2 && mode <= 5) clock.SleepMs(kStoragePauseMs);
  bool accepted = false;
  for (int i = 0; i < kPrepareSends && !accepted; ++i) {
    accepted = SendPrepareStorage(dev, mode);
    if (accepted) break;
    ReportMessage(dev.out, dev.Text(kTextStoragePrepFailed));
    if (!CheckAlive(dev, false)) {
      dev.logTransportErrors = true;
      WriteLogText(dev.out, dev.Text(kTextHandsetAnswering));
      WriteLogText(dev.out, "\r\n");
    }
  }
  if (!accepted) return false;

  bool result = false;
  int count = 0;
  std::array<uint8_t, kPollStorageLength> reply{};
  for (;;) {
    clock.SleepMs(kStoragePauseMs);
    if (!SendPollStorage(dev, mode, reply)) {
      ReportMessage(dev.out, dev.Text(kTextStoragePrepFailed));
      break;
    }
    if (StorageReplyIsReady(mode, reply.data(), reply.size())) {
      ReportMessage(dev.out, dev.Text(kTextStoragePrepared) + FormatString("%d S...", count / 2));
      if (mode == 1) dev.out.progressPosition = 3000;
      result = true;
      break;
    }
    ShowStatusText(dev.out, dev.Text(kTextPreparingStorage) + FormatString("%d S.....\r\n", count / 2));
    if (++count == kStoragePolls) {
      ReportMessage(dev.out, dev.Text(kTextStoragePrepFailed));
      break;
    }
  }
  clock.SleepMs(kStoragePauseMs);
  return result;
}

}  // namespace flashery
