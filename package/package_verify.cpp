#include "package/package_verify.h"

#include <array>
#include <vector>

#include "package/crc16.h"
#include "package/ordered_read.h"
#include "package/package_messages.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery {
namespace {

// A section to check and what the one pass over the file found for it.
struct PendingSection {
  QfmSectionKey key;
  QfmSection fromHeader;
  bool inFile = false;  // its range lies within the file
  SectionCheckBuilder check;
};

// Feeds the part of a piece of the file at `offset` that lies in the section.
void FeedSection(PendingSection& s, const uint8_t* data, size_t length, uint64_t offset) {
  if (!s.inFile) return;
  const uint64_t begin = s.fromHeader.offset, end = begin + s.fromHeader.size;
  const uint64_t from = offset > begin ? offset : begin;
  const uint64_t to = offset + length < end ? offset + length : end;
  if (from < to) s.check.Add(data + (from - offset), static_cast<size_t>(to - from));
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

  // The sections to check, in check order.
  std::vector<PendingSection> sections;
  bool extendRun = true;  // Extend slots are checked while their bytes are 1
  for (QfmSectionKey key : kQfmCheckOrder) {
    QfmSection fromHeader = SectionFromHeader(header, key, context.legacy);
    if (ExtendSlotOf(key) != 0) {
      extendRun = extendRun && fromHeader.present == 1;
      if (!extendRun) continue;
    } else if (fromHeader.present != 1) {
      continue;
    }
    PendingSection& s = sections.emplace_back();
    s.key = key;
    s.fromHeader = fromHeader;
    s.inFile = file.Holds(fromHeader.offset, fromHeader.size);
  }

  // One pass over the whole file, front to back, the reading overlapped
  // with the checking. The consumer below is the one place where every
  // piece of the file is seen, in file order.
  uint64_t through = 0;  // end of what was read
  if (!sections.empty()) {
    OrderedReadResult read = ReadInOrder(
        file.fd(), file.size(),
        [&](const uint8_t* data, size_t length, uint64_t offset) {
          if (context.readObserver) context.readObserver->OnRead(offset, data, length);
          for (PendingSection& s : sections) FeedSection(s, data, length, offset);
        },
        context.stop);
    if (read.stopped) return false;  // asked to stop: nothing to tell
    through = read.bytes;
  }

  // Verdicts in check order: the first section that fails is told.
  for (PendingSection& s : sections) {
    const QfmSection& fromHeader = s.fromHeader;
    if (!s.inFile || fromHeader.offset + fromHeader.size > through) {
      context.prompter.Prompt(SectionReadFailedMessage(s.key));
      return false;
    }
    if (s.check.Value() != fromHeader.checkValue) {
      context.prompter.Prompt(SectionCheckFailedMessage(s.key));
      return false;
    }
    QfmSection& into = package.section(s.key);
    into.offset = fromHeader.offset;
    into.size = fromHeader.size;
    into.checkValue = fromHeader.checkValue;
    into.name = fromHeader.name;
    if (ExtendSlotOf(s.key) != 0) into.present = 1;
  }

  for (QfmSectionKey key : kQfmCheckOrder) {
    if (ExtendSlotOf(key) == 0) package.section(key).present = header.Byte(QfmLayoutOf(key).presentAt);
  }
  return true;
}

}  // namespace flashery
