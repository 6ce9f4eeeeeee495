#include "package/package_messages.h"

#include "text/status.h"
#include "text/text_table.h"

namespace flashery {

std::string SectionReadFailedMessage(QfmSectionKey key) {
  return std::string("读QFM(") + QfmLayoutOf(key).keyName + ")文件失败!";
}

std::string SectionCheckFailedMessage(QfmSectionKey key) {
  return std::string(QfmLayoutOf(key).keyName) + "... CRC校验错误!";
}

std::string BuildInfoText(const TextTable& texts, const std::string& versionName, const std::string& systemName) {
  return texts.Get(package_text::kVersionLabel) + FormatString(" :%s , ", versionName.c_str()) +
         texts.Get(package_text::kSystemLabel) + FormatString(":  %s", systemName.c_str());
}

}  // namespace flashery
