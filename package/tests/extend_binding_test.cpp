#include "package/extend_binding.h"

#include <gtest/gtest.h>

#include "package/tests/package_fixture.h"

namespace flashery {
namespace {

QfmPackage WithExtends(const std::vector<std::pair<std::string, int>>& slots) {
  QfmPackage p;
  p.extensionTable.names = {"apps.img", "", "Logo.bin", "logo.bin", "music", "apps.img", "x"};
  p.extensionTable.codes = {10, 11, 12, 13, 14, 15, 16};
  for (size_t i = 0; i < slots.size(); ++i) {
    p.extend(static_cast<int>(i) + 1).name = slots[i].first;
    p.extend(static_cast<int>(i) + 1).present = slots[i].second;
  }
  return p;
}

TEST(BindExtendSections, BindsPresentSlotsByExactName) {
  TextTable texts = testing::PackageTexts();
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, int>> slots;
    bool ok;
    std::array<uint8_t, 5> codes;
  };
  const std::vector<Case> cases = {
      {"none", {}, true, {0, 0, 0, 0, 0}},
      {"first equal name wins", {{"apps.img", 1}, {"logo.bin", 1}, {"Logo.bin", 1}}, true, {10, 13, 12, 0, 0}},
      {"staged slot is skipped", {{"presetapp.zip", 0}, {"music", 1}}, true, {0, 14, 0, 0, 0}},
      {"other case is refused", {{"LOGO.BIN", 1}}, false, {}},
      {"unknown is refused", {{"music", 1}, {"video", 1}}, false, {}},
      {"present without a name is refused", {{"", 1}}, false, {}},
      {"absent without a name is fine", {{"music", 1}, {"", 0}}, true, {14, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QfmPackage p = WithExtends(c.slots);
    p.extend(5).fileCode = 99;  // left over from an earlier binding
    std::string error;
    EXPECT_EQ(BindExtendSections(p, error, texts), c.ok);
    if (!c.ok) {
      EXPECT_EQ(error, "rejected");
      continue;
    }
    EXPECT_TRUE(error.empty());
    for (int k = 1; k <= 5; ++k) EXPECT_EQ(p.extend(k).fileCode, c.codes[k - 1]) << k;
  }
}

}  // namespace
}  // namespace flashery
