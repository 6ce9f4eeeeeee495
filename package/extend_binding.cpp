#include "package/extend_binding.h"

#include "package/package_messages.h"
#include "text/text_table.h"

namespace flashery {

bool BindExtendSections(QfmPackage& package, std::string& errorText, const TextTable& texts) {
  const QfmExtensionTable& table = package.extensionTable;
  for (int slot = 1; slot <= kQfmExtendSlots; ++slot) {
    QfmSection& s = package.extend(slot);
    s.fileCode = 0;
    if (!s.IsPresent()) continue;
    bool bound = false;
    for (int i = 0; i < QfmExtensionTable::kEntries && !bound; ++i) {
      if (!s.name.empty() && table.names[i] == s.name) {
        s.fileCode = table.codes[i];
        bound = true;
      }
    }
    if (!bound) {
      errorText = texts.Get(package_text::kRejected);
      return false;
    }
  }
  return true;
}

}  // namespace flashery
