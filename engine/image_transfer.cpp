#include "engine/image_transfer.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "device/port_commands.h"
#include "engine/block_plan.h"
#include "engine/handset_wait.h"
#include "engine/local_file.h"
#include "package/crc16.h"
#include "package/package_identity.h"
#include "package/qfm_package.h"
#include "platform/clock.h"
#include "text/station_texts.h"
#include "text/text_ids.h"
#include "text/text_table.h"

namespace flashery {

namespace {

constexpr size_t kMinPathLength = 5;
constexpr int kReadyPolls = 300;
constexpr int kSegmentReadyPolls = 1200;
constexpr uint32_t kPollPauseMs = 400;
constexpr int kBlockRepeats = 3;
constexpr uint32_t kBadPathPauseMs = 800;
constexpr uint32_t kEndRetryPauseMs = 500;

const QfmSection& SectionOf(const QfmPackage& package, const ImageProfile& p) {
  switch (p.section) {
    case ImageSection::MLO: return package.section(QfmSectionKey::MLO);
    case ImageSection::BL: return package.section(QfmSectionKey::BL);
    case ImageSection::NK: return package.section(QfmSectionKey::NK);
    case ImageSection::System: return package.section(QfmSectionKey::System);
    case ImageSection::Userdata: return package.section(QfmSectionKey::Userdata);
    case ImageSection::Cache: return package.section(QfmSectionKey::Cache);
    case ImageSection::Recovery: return package.section(QfmSectionKey::Recovery);
    case ImageSection::Evn: return package.section(QfmSectionKey::Evn);
    case ImageSection::Extend: break;
  }
  return package.extend(p.extendSlot + 1);
}

// One transfer: the procedure's state and its messages.
class ImageTransfer {
 public:
  ImageTransfer(PortDevice& dev, const QfmPackage& package, const ImageProfile& profile)
      : dev_(dev),
        package_(package),
        p_(profile),
        section_(SectionOf(package, profile)),
        segmented_(profile.kind == ImageKind::SystemSegmented),
        label_(profile.labelTextId >= 0 ? dev.Text(profile.labelTextId) : profile.label),
        // Extend messages begin with the label also where others begin with the name.
        head_(profile.kind == ImageKind::Extend ? label_ : profile.displayName) {}

  bool Run();
  bool packageChanged() const { return packageChanged_; }

 private:
  std::string T(int id) const { return dev_.Text(id); }
  void Report(const std::string& m) { ReportMessage(dev_.out, m); }
  bool WaitReady(int polls, const char* counterFormat);
  bool SendBlocks();
  void ShowProgress(uint32_t size);
  bool CompleteSegment(bool lastBlock);
  // Whether the bytes accepted so far carry the verified check value.
  bool SentWhatWasVerified() const { return sentCheck_.Value() == section_.checkValue; }
  bool PackageChanged();

  PortDevice& dev_;
  const QfmPackage& package_;
  const ImageProfile& p_;
  const QfmSection& section_;
  const bool segmented_;
  const std::string label_;
  const std::string head_;
  LocalFile file_;
  std::vector<uint8_t> buffer_;
  std::string sendingPrefix_, progressText_;  // the per-block status line
  uint32_t sent_ = 0;
  SectionCheckBuilder sentCheck_;  // over the bytes the handset accepted
  bool packageChanged_ = false;
  // Segmented form.
  uint32_t blockInSegment_ = 0;
  uint32_t segmentNumber_ = 0;
  uint32_t committed_ = 0;  // bytes of the segments already committed
  uint32_t segmentCheck_ = 0;
};

bool ImageTransfer::WaitReady(int polls, const char* counterFormat) {
  ReadyWait w = WaitUntilReady(dev_, polls, kPollPauseMs, T(kTextWaitingForHandset), counterFormat);
  if (w == ReadyWait::kReady) return true;
  Report(label_ + T(kTextHandsetNotReady));
  return false;
}

bool ImageTransfer::Run() {
  const std::string& path = package_.packagePath;
  if (path.size() < kMinPathLength) {
    WriteLogText(dev_.out, T(kTextPackagePathInvalid) + path + (p_.pathErrorLineEnd ? "\r\n" : ""));
    WriteLogText(dev_.out, "\r\n");
    dev_.clock().SleepMs(kBadPathPauseMs);
    return false;
  }
  WriteLogText(dev_.out, p_.beginLogText);
  WriteLogText(dev_.out, "\r\n");
  Report(label_ + T(kTextImageStarting));

  if (!WaitReady(kReadyPolls, p_.waitFormat)) return false;
  if (p_.readyProgress) dev_.out.progressPosition = p_.readyProgress;

  int error = 0;
  if (!file_.Open(path, error)) {
    Report(label_ + T(kTextPackageFileOpenFailed) + FormatString(p_.openErrorFormat, error, path.c_str()));
    return false;
  }
  if (!SamePackageFile(package_.fileIdentity, PackageIdentityOf(file_.fd()))) return PackageChanged();
  const uint32_t size = section_.size;
  if (size == kUnreadableSize) {
    Report(head_ + T(kTextSizeUnknown));
    return false;
  }
  if (!BeginImage(dev_, p_.imageCode, size)) {
    Report(head_ + T(kTextCommandRefused));
    return false;
  }
  if (size > 0) {
    buffer_.resize(kBlockBytes);
    if (!SendBlocks()) return false;
  }
  if (!SentWhatWasVerified()) return PackageChanged();
  bool ended = EndImage(dev_, p_.imageCode, size);
  if (!ended && p_.endRetry) {
    dev_.clock().SleepMs(kEndRetryPauseMs);
    ended = EndImage(dev_, p_.imageCode, size);
  }
  if (!ended) {
    ShowStatusText(dev_.out, label_ + T(kTextCommandRefused));
    WriteLogText(dev_.out, label_ + T(kTextCommandRefused));
    return false;
  }
  WriteLogText(dev_.out, label_ + T(kTextFinished));
  WriteLogText(dev_.out, "\r\n");
  dev_.out.progressPosition = p_.milestone;
  return true;
}

bool ImageTransfer::SendBlocks() {
  const uint32_t size = section_.size;
  int retries = 0;
  bool firstSend = true;  // the current block has not been sent yet
  while (sent_ < size) {
    BlockStep b = NextBlock(size, sent_, blockInSegment_, segmented_);
    if (!file_.ReadAt(buffer_.data(), b.length, uint64_t{section_.offset} + sent_)) {
      Report(label_ + T(kTextReadFailed) + FormatString("%ld ", static_cast<long>(sent_)));
      return false;
    }
    // One pass over the block serves both registers: the section check of
    // the bytes sent and the segment's check; the block's value from zero
    // is combined into each.
    const uint32_t blockValue = Crc16Update(buffer_.data(), b.length, 0);
    // Each byte of a segment enters its check once, also when its block is refused.
    if (segmented_ && firstSend) segmentCheck_ = Crc16Combine(segmentCheck_, blockValue, b.length);
    if (SendImageBlock(dev_, buffer_.data(), b.length, BlockCheckValue(buffer_.data(), b.length), b.last)) {
      sent_ += b.length;
      sentCheck_.AddBlock(buffer_.data(), b.length, blockValue);
      retries = 0;
      firstSend = true;
      NoteTransferred(dev_.out, b.length);
      if (segmented_) {
        ++blockInSegment_;
        if (SegmentComplete(blockInSegment_, b.last) && !CompleteSegment(b.last)) return false;
      }
      ShowProgress(size);
      continue;
    }
    if (retries >= kBlockRepeats) {
      Report(label_ + T(kTextBlockGivenUp) + FormatString(p_.abortFormat, static_cast<long>(sent_)));
      return false;
    }
    Report(label_ + T(kTextBlockRefused));
    ++retries;
    firstSend = false;
  }
  return true;
}

void ImageTransfer::ShowProgress(uint32_t size) {
  // The text is rebuilt in place: its storage is reused from block to block.
  if (sendingPrefix_.empty()) sendingPrefix_ = label_ + T(kTextSending);
  char percent[64];
  int n = std::snprintf(percent, sizeof percent, p_.progressFormat, sent_ * 100.0 / size);
  progressText_.assign(sendingPrefix_);
  if (n > 0) progressText_.append(percent, std::min<size_t>(static_cast<size_t>(n), sizeof percent - 1));
  ShowStatusText(dev_.out, progressText_);
}

bool ImageTransfer::CompleteSegment(bool lastBlock) {
  ++segmentNumber_;
  blockInSegment_ = 0;
  uint32_t length = sent_ - committed_;
  committed_ = sent_;
  if (lastBlock && !SentWhatWasVerified()) return PackageChanged();
  if (!CommitSegment(dev_, p_.imageCode, length, static_cast<uint8_t>(segmentNumber_), lastBlock))
    return false;
  if (!SendSegmentCheck(dev_, p_.imageCode, segmentCheck_)) return false;
  if (!WaitReady(kSegmentReadyPolls, p_.segmentWaitFormat)) return false;
  segmentCheck_ = 0;
  return true;
}

bool ImageTransfer::PackageChanged() {
  packageChanged_ = true;
  Report(label_ + dev_.texts().Get(station_text::kPackageChanged));
  return false;
}

}  // namespace

bool TransferImage(PortDevice& dev, const QfmPackage& package, const ImageProfile& profile,
                   bool* packageChanged) {
  ImageTransfer t(dev, package, profile);
  bool ok = t.Run();
  if (packageChanged) *packageChanged = t.packageChanged();
  return ok;
}

bool TransferImageInSegments(PortDevice& dev, const QfmPackage& package) {
  return TransferImage(dev, package, ProfileFor(ImageKind::SystemSegmented));
}

bool RunImageProcedure(PortDevice& dev, const QfmPackage& package, ImageKind kind, int extendSlot,
                       bool* packageChanged) {
  if (packageChanged) *packageChanged = false;
  if (kind != ImageKind::Extend) return TransferImage(dev, package, ProfileFor(kind), packageChanged);
  if (extendSlot < 0 || extendSlot >= kQfmExtendSlots) return false;
  const QfmSection& s = package.extend(extendSlot + 1);
  ImageProfile p = ExtendProfile(extendSlot, s.name, s.fileCode);
  return TransferImage(dev, package, p, packageChanged);
}

}  // namespace flashery
