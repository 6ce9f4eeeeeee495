// The texts of the package operations: text ids of the text table and the
// station's own literal messages of the section checks.
#pragma once

#include <string>

#include "package/qfm_layout.h"

namespace flashery {

class TextTable;

namespace package_text {
inline constexpr int kCannotOpen = 72;        // the package file cannot be opened
inline constexpr int kAccepted = 102;         // shown by the dialog after a good check
inline constexpr int kRejected = 104;         // verification or extension binding failed
inline constexpr int kHeaderUnreadable = 105;
inline constexpr int kNotAPackage = 106;      // bad magic
inline constexpr int kVersionLabel = 107;
inline constexpr int kSystemLabel = 108;
}  // namespace package_text

// "读QFM(<key>)文件失败!" — a section could not be read.
std::string SectionReadFailedMessage(QfmSectionKey key);
// "<key>... CRC校验错误!" — a section's check value differs.
std::string SectionCheckFailedMessage(QfmSectionKey key);

// The info line: text 107, " :<version> , ", text 108, ":  <system name>".
std::string BuildInfoText(const TextTable& texts, const std::string& versionName, const std::string& systemName);

}  // namespace flashery
