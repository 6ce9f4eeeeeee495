// flashery-pack stage, run as a release engineer runs it: a package made by
// flashery-pack create with an Info-ZIP archive as an Extend section.
#include "tools/tests/pack_runner.h"

namespace flashery {
namespace {

using ToolRun = testing::RunOutput;

class PackStageTest : public testing::PackTest {
 protected:
  void SetUp() override {
    // A brand folder with a deep path, an empty file and a Chinese name.
    Put("src/quillon/presetapp/应用/deep/er/app.apk", std::string(100000, 'a') + "end");
    Put("src/quillon/presetapp/empty.txt", "");
    Put("nk.img", std::string(5000, 'k'));
  }
  std::string Package(const std::string& name, const std::string& extend) {
    std::string pkg = dir_ / name;
    ToolRun r = Pack({"create", pkg, "--product", "T745", "--version", "V1", "--nk", dir_ / "nk.img", "--extend",
                      extend});
    EXPECT_EQ(r.status, 0) << r.err;
    return pkg;
  }
};

TEST_F(PackStageTest, StagesWhatTheArchiveHoldsAndRejectsDamage) {
  ASSERT_TRUE(Zip(dir_ / "src", "-9", dir_ / "apps.zip"));
  std::string pkg = Package("good.QFM", "apps.zip=" + dir_ / "apps.zip");
  // Something left over from an earlier run is deleted first.
  ASSERT_TRUE(MakeDirectories(dir_ / "out/quillon/old"));
  ToolRun r = Pack({"stage", pkg, dir_ / "out"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Extend 1 apps.zip"), std::string::npos) << r.out;
  EXPECT_EQ(ReadWholeFile(dir_ / "out/quillon/presetapp/应用/deep/er/app.apk").value_or(""),
            std::string(100000, 'a') + "end");
  EXPECT_TRUE(IsRegularFile(dir_ / "out/quillon/presetapp/empty.txt"));
  EXPECT_FALSE(PathExists(dir_ / "out/quillon/old"));

  // The archive's bytes damaged inside the package: rejected in the
  // station's words, and the entry that failed is named.
  ASSERT_TRUE(Zip(dir_ / "src", "-0", dir_ / "stored.zip"));
  std::string bytes = ReadWholeFile(Package("stored.QFM", "apps.zip=" + dir_ / "stored.zip")).value();
  size_t at = bytes.find("aaaend");
  ASSERT_NE(at, std::string::npos);
  bytes[at] = 'b';
  ASSERT_TRUE(WriteWholeFile(dir_ / "bad.QFM", bytes));
  r = Pack({"stage", dir_ / "bad.QFM", dir_ / "out2"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("zip文件解析失败！"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("app.apk"), std::string::npos) << r.err;
}

TEST_F(PackStageTest, NothingToStageAndUnusableArguments) {
  std::string pkg = Package("plain.QFM", "logo.bin=" + dir_ / "nk.img");
  ToolRun r = Pack({"stage", pkg, dir_ / "out"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("no application archives"), std::string::npos);
  EXPECT_FALSE(PathExists(dir_ / "out/quillon"));
  // A header that fails its check, or is no package's: rejected in the
  // station's words before anything is made.
  std::string bytes = ReadWholeFile(pkg).value();
  bytes[0x30] = static_cast<char>(bytes[0x30] ^ 0x5A);
  ASSERT_TRUE(WriteWholeFile(dir_ / "header.QFM", bytes));
  ASSERT_TRUE(WriteWholeFile(dir_ / "short.QFM", "QF\x01\x02"));
  for (const auto& [name, text] : {std::pair{"header.QFM", "(text 104)"}, {"short.QFM", "(text 105)"}}) {
    r = Pack({"stage", dir_ / name, dir_ / "out3"});
    EXPECT_EQ(r.status, 1) << name;
    EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    EXPECT_FALSE(PathExists(dir_ / "out3"));
  }
  EXPECT_EQ(Pack({"stage", dir_ / "missing.QFM", dir_ / "out"}).status, 2);
  EXPECT_EQ(Pack({"stage", pkg}).status, 2);
}

}  // namespace
}  // namespace flashery
