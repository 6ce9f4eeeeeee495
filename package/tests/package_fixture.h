// Shared pieces of the package tests: a folder with image files, a small
// text table, a recording prompter and header surgery on written packages.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "package/package_context.h"
#include "package/package_writer.h"
#include "package/qfm_header.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/tests/test_dir.h"
#include "text/prompter.h"
#include "text/text_table.h"

namespace flashery::testing {

inline TextTable PackageTexts() {
  TextTable t;
  t.LoadFrom(ProfileDocument::Parse(
      "[Text]\n172=cannot open\n204=rejected\n205=header unreadable\n206=not a package\n207=Version\n"
      "208=System\n"));
  return t;
}

// Bytes that differ from section to section.
inline std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  uint32_t x = 2463534242u + static_cast<uint32_t>(seed);
  for (auto& c : s) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x);
  }
  return s;
}

class PackageTest : public ::testing::Test {
 protected:
  std::string Input(const std::string& name, const std::string& bytes) {
    std::string path = dir_ / name;
    EXPECT_TRUE(WriteWholeFile(path, bytes));
    return path;
  }
  // Writes a package; every input of `contents` is a path already.
  std::string Write(const PackageContents& contents, const std::string& name = "pkg.qfm") {
    std::string path = dir_ / name;
    PackageWriteResult r = WritePackage(path, contents);
    EXPECT_TRUE(r.ok) << r.error;
    return path;
  }
  // Changes the header of a written package and seals it again.
  void Patch(const std::string& path, const std::function<void(QfmHeader&)>& change, bool seal = true) {
    std::string bytes = ReadWholeFile(path).value_or("");
    ASSERT_GE(bytes.size(), kQfmHeaderBytes);
    QfmHeader h;
    std::copy(bytes.begin(), bytes.begin() + kQfmHeaderBytes, h.bytes.begin());
    change(h);
    if (seal) h.Seal();
    std::copy(h.bytes.begin(), h.bytes.end(), bytes.begin());
    ASSERT_TRUE(WriteWholeFile(path, bytes));
  }
  std::vector<std::string> Prompts() const {
    std::vector<std::string> texts;
    for (const auto& r : prompter_.records()) texts.push_back(r.text);
    return texts;
  }

  TempDir dir_;
  TextTable texts_ = PackageTexts();
  RecordingPrompter prompter_;
  PackageContext context_{texts_, prompter_};
};

}  // namespace flashery::testing
