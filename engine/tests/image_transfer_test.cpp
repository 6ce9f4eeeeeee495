#include "engine/image_transfer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "device/port_commands.h"
#include "engine/block_plan.h"
#include "text/station_texts.h"
#include "station_harness.h"

namespace flashery::test {
namespace {

using K = QfmSectionKey;

struct ImageCase {
  ImageKind kind;
  K key;
  uint8_t code;
  uint32_t size;
  const char* label;  // "[62]" etc.
};

TEST(ImageTransfer, EveryProfileWritesItsSectionByteForByte) {
  Station st;
  const ImageCase cases[] = {
      {ImageKind::Xloader, K::MLO, 1, 65024, "[62]"},      {ImageKind::Bootloader, K::BL, 2, 65025, "[63]"},
      {ImageKind::Kernel, K::NK, 4, 200000, "[65]"},       {ImageKind::SystemPlain, K::System, 5, 130049, "[66]"},
      {ImageKind::Userdata, K::Userdata, 6, 100, "[67]"},  {ImageKind::Cache, K::Cache, 7, 0, "[68]"},
      {ImageKind::Recovery, K::Recovery, 8, 70000, "[69]"}, {ImageKind::Env, K::Evn, 3, 12345, "[64]"},
  };
  for (const ImageCase& c : cases) st.SetSection(c.key, TestBytes(c.size, c.code));
  st.SetSection(ExtendKey(1), TestBytes(3000, 91), "apps", 0x21);
  st.SetSection(ExtendKey(2), TestBytes(66000, 92), "maps", 0x22);
  st.WritePackage();
  st.Plug(0, "IMG1");
  auto dev = st.OpenDevice(0);
  ASSERT_TRUE(OpenDownload(*dev));

  for (const ImageCase& c : cases) {
    ASSERT_TRUE(RunImageProcedure(*dev, st.package, c.kind, -1)) << c.label;
    EXPECT_EQ(dev->out.progressPosition, ProfileFor(c.kind).milestone) << c.label;
    EXPECT_EQ(st.Count(std::string(c.label) + "[79]"), 1u) << c.label;
  }
  // Extend slot 2: its own name, code and bytes.
  ASSERT_TRUE(RunImageProcedure(*dev, st.package, ImageKind::Extend, 1));
  EXPECT_EQ(st.Count("maps download begining。。。"), 1u);
  EXPECT_EQ(st.Count("mapsdownload:[79]"), 1u);
  EXPECT_EQ(dev->out.progressPosition, 29500u);

  auto report = st.handset(0).Report();
  EXPECT_EQ(Rejections(report), "");
  for (const ImageCase& c : cases) ExpectImage(st.handset(0).folder(), c.code, st.sectionBytes[c.key]);
  ExpectImage(st.handset(0).folder(), 0x22, st.sectionBytes[ExtendKey(2)]);
  // 8 images + Extend: blocks of the sizes above; a size-0 image sends none.
  EXPECT_EQ(TraceCount(report, "WriteBlock"), 1u + 2 + 4 + 3 + 1 + 0 + 2 + 1 + 2);
  // Userdata stores 25,000 on readiness: its first status after that carries it.
  auto progress = st.view.progress(0);
  EXPECT_NE(std::find(progress.begin(), progress.end(), 25000u), progress.end());
}

TEST(ImageTransfer, RefusedBlocksAreReadAgainUpToThreeRepeats) {
  for (uint32_t refusals : {3u, 4u}) {
    Station st;
    st.SetSection(ExtendKey(3), TestBytes(3 * 65024 + 10, 7), "ext3", 0x23);
    st.WritePackage();
    sim::HandsetConfig cfg;
    cfg.faults.rejectBlocks = {{2, refusals, ""}};
    st.Plug(0, "REJ", cfg);
    auto dev = st.OpenDevice(0);
    ASSERT_TRUE(OpenDownload(*dev));
    bool ok = RunImageProcedure(*dev, st.package, ImageKind::Extend, 2);
    SCOPED_TRACE(refusals);
    EXPECT_EQ(st.Count("ext3download:[76]"), std::min(refusals, 3u));
    if (refusals == 3) {
      EXPECT_TRUE(ok);
      ExpectImage(st.handset(0).folder(), 0x23, st.sectionBytes[ExtendKey(3)]);
    } else {
      EXPECT_FALSE(ok);
      EXPECT_EQ(st.Count("ext3download:[77]65024 "), 1u);
    }
    EXPECT_EQ(Rejections(st.handset(0).Report()), "");
  }
}

TEST(ImageTransfer, SegmentedSystemImageCommitsEverySegment) {
  Station st;
  const uint32_t size = kSegmentBytes + 1;  // 17,301,505
  st.SetSection(K::System, TestBytes(size, 5));
  st.WritePackage();
  sim::HandsetConfig cfg;  // a refused block inside the first segment enters its check once
  cfg.faults.rejectBlocks = {{100, 1, ""}};
  st.Plug(0, "SEG", cfg);
  auto dev = st.OpenDevice(0);
  ASSERT_TRUE(OpenDownload(*dev));
  ASSERT_TRUE(TransferImageInSegments(*dev, st.package));
  auto report = st.handset(0).Report();
  EXPECT_EQ(Rejections(report), "");
  ASSERT_EQ(report.images.size(), 1u);
  EXPECT_EQ(report.images[0].segments, 2u);
  ExpectImage(st.handset(0).folder(), 5, st.sectionBytes[K::System]);
  EXPECT_EQ(TraceCount(report, "CommitSegment"), 2u);
  EXPECT_EQ(TraceCount(report, "SendSegmentCheck"), 2u);
}

TEST(ImageTransfer, FailuresEndTheProcedureWithTheirMessages) {
  Station st;
  st.SetSection(K::Cache, TestBytes(1000, 1));
  st.SetSection(K::System, TestBytes(1000, 2));
  st.SetSection(K::Recovery, TestBytes(1000, 3));
  st.WritePackage();
  st.package.section(K::Recovery).offset = 0x7FFFFFF0;  // beyond the end of the file
  sim::HandsetConfig cfg;
  cfg.faults.refuse = {{sim::CommandKind::kEndImage, 4, 1}};
  st.Plug(0, "FAIL", cfg);
  auto dev = st.OpenDevice(0);
  ASSERT_TRUE(OpenDownload(*dev));

  // EndImage refused: cache gives up at once, system (endRetry) sends it once more after 500 ms.
  EXPECT_FALSE(RunImageProcedure(*dev, st.package, ImageKind::Cache, -1));
  ASSERT_TRUE(AbortImage(*dev));
  EXPECT_FALSE(RunImageProcedure(*dev, st.package, ImageKind::SystemPlain, -1));
  EXPECT_EQ(TraceCount(st.handset(0).Report(), "EndImage", 2), 3u);
  EXPECT_EQ(st.Count("[68][74]"), 1u);
  EXPECT_EQ(st.Count("[66][74]"), 1u);
  // A section beyond the end of the package file is a failed read, not garbage.
  ASSERT_TRUE(AbortImage(*dev));
  EXPECT_FALSE(RunImageProcedure(*dev, st.package, ImageKind::Recovery, -1));
  EXPECT_EQ(st.Count("[69][75]0 "), 1u);
  // Size 0xFFFFFFFF: no BeginImage.
  st.package.section(K::Cache).size = kUnreadableSize;
  EXPECT_FALSE(RunImageProcedure(*dev, st.package, ImageKind::Cache, -1));
  EXPECT_EQ(st.Count("Cache.img[73]"), 1u);
  // The package file cannot be opened: label + text 70 + error code and path.
  QfmPackage missing = st.package;
  missing.packagePath = st.dir / "gone.QFM";
  EXPECT_FALSE(RunImageProcedure(*dev, missing, ImageKind::Kernel, -1));
  EXPECT_EQ(st.Count("[65][70]2 " + missing.packagePath), 1u);
  // A path shorter than 5 characters: log only, an 800 ms pause, no command.
  missing.packagePath = "a.q";
  size_t statuses = st.view.statuses(0).size();
  EXPECT_FALSE(RunImageProcedure(*dev, missing, ImageKind::Xloader, -1));
  EXPECT_EQ(st.view.statuses(0).size(), statuses);
  EXPECT_EQ(st.Count("[61]a.q\r\r\n"), 1u);
  EXPECT_EQ(st.clock.sleeps().back(), 800u);
}

TEST(ImageTransfer, OnlyTheVerifiedBytesAreEverEnded) {
  const std::string changed(station_text::kPackageChanged.english);
  struct Case {
    const char* what;
    ImageKind kind;
    const char* label;
    K key;
    uint32_t size;
    VendorCommand when;  // the package byte flips as the nth such command arrives
    int nth;
    uint32_t flipAt;       // within the section
    uint32_t rejectBlock;  // refused once (1-based), 0: none
    bool ok;
    uint32_t commits;  // segments committed
  };
  const VendorCommand block = WriteImageBlockCommand(0, 0, false);
  const Case cases[] = {
      {"a later block changes while block 2 is sent", ImageKind::Kernel, "[65]", K::NK, 4 * kBlockBytes, block, 2,
       3 * kBlockBytes + 7, 0, false, 0},
      {"a byte already sent changes", ImageKind::Kernel, "[65]", K::NK, 4 * kBlockBytes, block, 2, 5, 0, true, 0},
      {"a refused block is read again after it changed", ImageKind::Userdata, "[67]", K::Userdata, 2 * kBlockBytes, block,
       1, 10, 1, false, 0},
      {"the last segment changes while the first is committed", ImageKind::SystemSegmented, "[66]", K::System,
       kSegmentBytes + 5000, CommitSegmentCommand(5, 0, 1, false), 1, kSegmentBytes + 4999, 0, false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Station st;
    st.SetSection(c.key, TestBytes(c.size, 3));
    st.WritePackage();
    sim::HandsetConfig cfg;
    if (c.rejectBlock) cfg.faults.rejectBlocks = {{c.rejectBlock, 1, ""}};
    st.Plug(0, "CHG", cfg);
    FlipPackageByteOn(st, 0, c.when, c.nth, kQfmHeaderBytes + c.flipAt);
    auto dev = st.OpenDevice(0);
    ASSERT_TRUE(OpenDownload(*dev));
    bool packageChanged = true;
    EXPECT_EQ(RunImageProcedure(*dev, st.package, c.kind, -1, &packageChanged), c.ok);
    EXPECT_EQ(packageChanged, !c.ok);
    EXPECT_EQ(st.Count(c.label + changed), c.ok ? 0u : 1u);
    auto report = st.handset(0).Report();
    EXPECT_EQ(Rejections(report), "");
    EXPECT_EQ(TraceCount(report, "EndImage"), c.ok ? 1u : 0u);
    EXPECT_EQ(TraceCount(report, "CommitSegment"), c.commits);
    if (c.ok) ExpectImage(st.handset(0).folder(), 4, st.sectionBytes[c.key]);
  }

  // A package file replaced after verification, even by the same bytes:
  // nothing is begun.
  Station st;
  st.SetSection(K::Evn, TestBytes(100, 1));
  st.WritePackage();
  st.Plug(0, "NEW");
  const std::string copy = st.dir / "copy.QFM";
  ASSERT_TRUE(WriteBytes(copy, ReadBytes(st.package.packagePath)));
  ASSERT_EQ(std::rename(copy.c_str(), st.package.packagePath.c_str()), 0);
  auto dev = st.OpenDevice(0);
  ASSERT_TRUE(OpenDownload(*dev));
  bool packageChanged = false;
  EXPECT_FALSE(RunImageProcedure(*dev, st.package, ImageKind::Env, -1, &packageChanged));
  EXPECT_TRUE(packageChanged);
  EXPECT_EQ(st.Count("[64]" + changed), 1u);
  EXPECT_EQ(TraceCount(st.handset(0).Report(), "BeginImage"), 0u);
}

TEST(ImageTransfer, AHandsetThatNeverGetsReadyCosts300PollsOf400Ms) {
  Station st;
  st.SetSection(K::NK, TestBytes(10, 1));
  st.WritePackage();
  sim::HandsetConfig cfg;
  cfg.faults.neverReady = true;
  st.Plug(0, "BUSY", cfg);
  uint64_t before = st.clock.NowMs();
  EXPECT_FALSE(RunImageProcedure(*st.OpenDevice(0), st.package, ImageKind::Kernel, -1));
  EXPECT_EQ(st.clock.NowMs() - before, 300u * 400u);
  EXPECT_EQ(st.Count("[65][45]"), 1u);
  EXPECT_EQ(st.view.statuses(0)[299 + 1], "[46]299 s");
}

}  // namespace
}  // namespace flashery::test
