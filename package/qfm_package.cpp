#include "package/qfm_package.h"

#include <utility>

namespace flashery {

void QfmPackage::ClearOpenedState() {
  QfmExtensionTable keep = std::move(extensionTable);
  *this = QfmPackage{};
  extensionTable = std::move(keep);
}

}  // namespace flashery
