#include <gtest/gtest.h>

#include "config/settings.h"
#include "filesets/package_check.h"
#include "filesets/tests/scan_fixture.h"
#include "package/package_writer.h"
#include "text/text_ids.h"
#include "zip/tests/zip_test_support.h"

namespace flashery {
namespace {

using testing::PutFile;
using testing::PutFolder;
using testing::ScanBench;

struct PackageBench : ScanBench {
  std::atomic<unsigned> backups{0};
  QfmExtensionTable table;

  PackageBench() {
    texts = TextTable{};
    texts.LoadFrom(ProfileDocument::Parse("[Text]\n172=cannot open\n204=rejected\n205=header unreadable\n"));
    table.names[2] = "maps";
    table.codes[2] = 7;
    PutFolder(app(), "");
  }

  // A package in the resource folder with a kernel image and the given
  // extension sections (name -> file).
  void WriteRelease(const std::string& name, std::vector<std::pair<std::string, std::string>> extends = {}) {
    PutFile(dir.path(), "img/nk.bin", std::string(5000, 'k'));
    PackageContents contents;
    contents.productName = "T745";
    contents.versionName = "V1";
    contents.inputs.push_back({QfmSectionKey::NK, dir / "img/nk.bin", "nk"});
    int slot = 1;
    for (auto& [sectionName, path] : extends) contents.inputs.push_back({ExtendKey(slot++), path, sectionName});
    PutFolder(root(), "");
    ASSERT_TRUE(WritePackage(root() + "/" + name, contents).ok);
  }

  // An archive of a brand tree (with or without presetapp).
  std::string BrandArchive(bool withPresetApp) {
    std::string src = dir / "brandsrc";
    PutFile(src, "quillon/logo.bmp", "abc");
    if (withPresetApp) PutFile(src, "quillon/presetapp/app.apk", "123456789");
    EXPECT_TRUE(test::InfoZip(src, "quillon", dir / "apps.zip", ""));
    return dir / "apps.zip";
  }

  PackageCheckResult Run() { return PackageCheckJob(Context(), table, backups); }
};

TEST(PackageCheck, NeedsExactlyOnePackage) {
  PackageBench none;
  PutFolder(none.root(), "folder.QFM");  // a folder never counts
  EXPECT_EQ(none.Run().message, (ScanText{kTextNoSinglePackage, {}}));

  PackageBench two;
  two.WriteRelease("a.QFM");
  two.WriteRelease("b.qfm");
  PackageCheckResult r = two.Run();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.textId, kTextNoSinglePackage);
  EXPECT_TRUE(r.package.packagePath.empty());
}

TEST(PackageCheck, AcceptsAPackageAndItsBrandFolder) {
  PackageBench b;
  b.WriteRelease("release.QFM", {{"apps.zip", b.BrandArchive(true)}, {"maps", b.dir / "img/nk.bin"}});
  PutFile(b.app(), "quillon/stale.txt", "from an earlier package");
  PackageCheckResult r = b.Run();
  ASSERT_TRUE(r.ok) << r.message.textId << r.message.detail;
  EXPECT_EQ(r.package.packagePath, b.root() + "/release.QFM");
  EXPECT_EQ(r.package.extend(1).present, 0);  // staged, not written as an image
  EXPECT_EQ(r.package.extend(2).fileCode, 7);
  EXPECT_TRUE(r.brandPresent);
  EXPECT_EQ(r.brand.folder, b.app() + "/quillon");
  EXPECT_EQ(r.brand.folderSize, 12u);
  EXPECT_FALSE(PathExists(b.app() + "/quillon/stale.txt"));

  DownloadSelection s;
  QfmPackage published;
  ApplyPackageCheck(r, s, published);
  EXPECT_EQ(s.packagePath, r.package.packagePath);
  EXPECT_EQ(s.packageReady.load(), 1);
  EXPECT_EQ(s.packageJob.load(), static_cast<int>(JobState::Succeeded));
  EXPECT_EQ(s.brandSelected, 1);
  EXPECT_EQ(s.brandFolderSize, 12u);
  EXPECT_EQ(published.packagePath, r.package.packagePath);
}

TEST(PackageCheck, WithoutArchivesTheBrandIsNotSelected) {
  PackageBench b;
  b.WriteRelease("release.qfm");
  PutFile(b.app(), "quillon/presetapp/old.apk", "old");
  PackageCheckResult r = b.Run();
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.brandPresent);
  EXPECT_FALSE(PathExists(b.app() + "/quillon"));
  DownloadSelection s;
  s.brandSelected = 1;
  QfmPackage published;
  ApplyPackageCheck(r, s, published);
  EXPECT_EQ(s.brandSelected, 0);
}

TEST(PackageCheck, FailuresLeaveNoAcceptedPackage) {
  {
    PackageBench b;  // the brand archive lacks presetapp
    b.WriteRelease("release.QFM", {{"apps.zip", b.BrandArchive(false)}});
    PackageCheckResult r = b.Run();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, (ScanText{kTextBrandIncomplete, " <presetapp>"}));
    EXPECT_EQ(b.reporter.statuses(ScanSet::Package), std::vector<ScanText>{r.message});
    DownloadSelection s;
    s.packagePath = "/old/package.QFM";
    QfmPackage published;
    published.packagePath = "/old/package.QFM";
    ApplyPackageCheck(r, s, published);
    EXPECT_TRUE(s.packagePath.empty());
    EXPECT_TRUE(published.packagePath.empty());
    EXPECT_EQ(s.packageReady.load(), 0);
    EXPECT_EQ(s.packageJob.load(), static_cast<int>(JobState::Failed));
  }
  {
    PackageBench b;  // an extension section nobody configured
    b.WriteRelease("release.QFM", {{"unknown", b.dir / "img/nk.bin"}});
    PackageCheckResult r = b.Run();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, (ScanText{-1, "rejected"}));
    EXPECT_TRUE(r.package.packagePath.empty());
  }
  {
    PackageBench b;  // a damaged kernel image
    b.WriteRelease("release.QFM");
    std::string bytes = testing::Slurp(b.root() + "/release.QFM");
    bytes[bytes.size() - 10] ^= 0x55;
    WriteWholeFile(b.root() + "/release.QFM", bytes);
    PackageCheckResult r = b.Run();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, (ScanText{-1, "rejected"}));
    auto events = b.reporter.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, RecordingScanReporter::Kind::Ended);
    EXPECT_FALSE(events.back().ok);
  }
}

}  // namespace
}  // namespace flashery
