#include "package/package_verify.h"

#include <array>

#include "package/crc16.h"
#include "package/package_messages.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {
namespace {

enum class SectionResult { Passed, ReadFailed, CheckFailed, Stopped };

SectionResult CheckSection(const PackageFile& file, const QfmSection& s, const PackageContext& context) {
  const std::stop_token& stop = context.stop;
  if (!file.Holds(s.offset, s.size)) return SectionResult::ReadFailed;
  std::optional<uint32_t> value = SectionCheckValue(file.fd(), s.offset, s.size, stop, context.readObserver);
  if (!value) return stop.stop_requested() ? SectionResult::Stopped : SectionResult::ReadFailed;
  return *value == s.checkValue ? SectionResult::Passed : SectionResult::CheckFailed;
}

}  // namespace

bool VerifyPackage(const PackageFile& file, const QfmHeader& header, QfmPackage& package,
                   const PackageContext& context) {
  if (file.fd() < 0) return false;
  std::array<uint8_t, kQfmHeaderCheckedBytes> head{};
  if (!file.ReadAt(0, head.data(), head.size())) {
    context.prompter.Prompt(context.texts.Get(package_text::kHeaderUnreadable));
    return false;
  }
  if (context.readObserver) context.readObserver->OnRead(0, head.data(), head.size());
  if (Crc16Update(head.data(), head.size(), 0) != header.HeaderCheck()) return false;

  package.productName = header.ProductName(context.legacy);
  package.packageSize = header.PackageSize();
  package.versionName = header.VersionName(context.legacy);
  package.infoText = BuildInfoText(context.texts, package.versionName, header.SystemName(context.legacy));

  bool extendRun = true;  // Extend slots are checked while their bytes are 1
  for (QfmSectionKey key : kQfmCheckOrder) {
    QfmSection fromHeader = SectionFromHeader(header, key, context.legacy);
    const bool isExtend = ExtendSlotOf(key) != 0;
    if (isExtend) {
      extendRun = extendRun && fromHeader.present == 1;
      if (!extendRun) continue;
    } else if (fromHeader.present != 1) {
      continue;
    }
    switch (CheckSection(file, fromHeader, context)) {
      case SectionResult::Stopped:
        return false;  // asked to stop: nothing to tell
      case SectionResult::ReadFailed:
        context.prompter.Prompt(SectionReadFailedMessage(key));
        return false;
      case SectionResult::CheckFailed:
        context.prompter.Prompt(SectionCheckFailedMessage(key));
        return false;
      case SectionResult::Passed:
        break;
    }
    QfmSection& into = package.section(key);
    into.offset = fromHeader.offset;
    into.size = fromHeader.size;
    into.checkValue = fromHeader.checkValue;
    into.name = fromHeader.name;
    if (isExtend) into.present = 1;
  }

  for (QfmSectionKey key : kQfmCheckOrder) {
    if (ExtendSlotOf(key) == 0) package.section(key).present = header.Byte(QfmLayoutOf(key).presentAt);
  }
  return true;
}

}  // namespace flashery
