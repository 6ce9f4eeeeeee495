// The download stage driven by a correct station, then by faulty ones.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "package/crc16.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"
#include "scripted_station.h"
#include "sim/handset_model.h"

namespace flashery::sim {
namespace {

using namespace flashery::sim::testing;

struct Bench {
  flashery::testing::TempDir dir;
  FakeClock clock;
  HandsetModel model;
  ScriptedStation station{model, clock};

  explicit Bench(FaultSpec faults = {}) : model(Config(dir.path(), std::move(faults)), clock) {
    EXPECT_TRUE(model.PowerOn());
  }
  static HandsetConfig Config(const std::string& dir, FaultSpec faults) {
    HandsetConfig c;
    c.serial = "SIM0001";
    c.folder = dir + "/SIM0001";
    c.faults = std::move(faults);
    return c;
  }
  Bytes Stored(const std::string& relative) {
    auto s = ReadWholeFile(dir.path() + "/SIM0001/" + relative);
    return s ? Bytes(s->begin(), s->end()) : Bytes{};
  }
  const std::vector<Rejection>& rejected() { return model.report().rejected; }
  std::string LastReason() { return rejected().empty() ? "" : rejected().back().reason; }
};

uint32_t PackageCheck(const Bytes& b) {
  uint32_t sum = 0;
  for (size_t at = 0; at < b.size(); at += kSectionChunkBytes)
    sum += Crc16Update(&b[at], std::min<size_t>(kSectionChunkBytes, b.size() - at), 0);
  return sum;
}

TEST(HandsetImages, ACorrectDownloadStoresEveryImageByteForByte) {
  Bench b;
  Bytes xloader = Pattern(65024, 1);             // exactly one block
  Bytes boot = Pattern(65025, 2);                // a full block and one byte
  Bytes empty;                                   // a section of size 0
  Bytes system = Pattern(17301504 + 1, 3);       // two segments: full + 1 byte
  Bytes env = Pattern(12345, 4);
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.SendImage(1, xloader));
  ASSERT_TRUE(b.station.SendImage(2, boot));
  ASSERT_TRUE(b.station.SendImage(4, empty));
  ASSERT_TRUE(b.station.SendImageInSegments(5, system));
  ASSERT_TRUE(b.station.SendImage(3, env));
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(FinishImagesCdb(false)));

  EXPECT_TRUE(b.rejected().empty()) << b.LastReason();
  EXPECT_EQ(b.Stored("images/image_1.bin"), xloader);
  EXPECT_EQ(b.Stored("images/image_2.bin"), boot);
  EXPECT_TRUE(PathExists(b.dir.path() + "/SIM0001/images/image_4.bin"));
  EXPECT_EQ(b.Stored("images/image_5.bin"), system);
  EXPECT_EQ(b.Stored("images/image_3.bin"), env);

  const HandsetReport& r = b.model.report();
  ASSERT_EQ(r.images.size(), 5u);
  EXPECT_EQ(r.images[3].code, 5);
  EXPECT_EQ(r.images[3].segments, 2u);
  EXPECT_EQ(r.images[3].blocks, 268u);  // 266 + 1 closing + 1
  EXPECT_EQ(r.images[3].check, PackageCheck(system));
  EXPECT_EQ(r.images[2].size, 0u);
  EXPECT_EQ(r.finishImagesFlag, 0);
  // The handset was busy after OpenDownload and after every image: the
  // station had to poll.
  EXPECT_GT(r.commands[static_cast<size_t>(CommandKind::kQueryState)], 6u);

  auto json = ReadWholeFile(b.model.ReportPath());
  ASSERT_TRUE(json);
  EXPECT_NE(json->find("\"rejected\": []"), std::string::npos);
  EXPECT_NE(json->find("\"file\": \"images/image_5.bin\""), std::string::npos);
  EXPECT_NE(json->find("\"finishImagesFlag\": 0"), std::string::npos);
}

TEST(HandsetImages, BadBlocksAreRefusedAndTheSameBlockSentAgainIsAccepted) {
  Bench b;
  Bytes image = Pattern(3 * 65024 + 100, 7);
  uint32_t size = static_cast<uint32_t>(image.size());
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(6, size)));
  const uint8_t* p = image.data();

  struct Bad {
    Cdb cdb;
    uint32_t length;
    const char* reason;
  };
  Cdb wrongCheck = ImageBlockCdb(p, 0xFE00, false);
  wrongCheck[6] ^= 1;
  Bad bad[] = {
      {wrongCheck, 0xFE00, "check value"},
      {ImageBlockCdb(p, 0xFE00, true), 0xFE00, "last-block byte is 1"},
      {ImageBlockCdb(p, 0x8000, false), 0x8000, "before the last"},
  };
  for (const Bad& x : bad) {
    EXPECT_FALSE(b.station.Ok(x.cdb, kDirToDevice, p, x.length));
    EXPECT_NE(b.LastReason().find(x.reason), std::string::npos) << b.LastReason();
  }
  // Nothing of the refused blocks was taken: the image goes on normally.
  for (uint32_t sent = 0; sent < size;) {
    uint32_t n = std::min<uint32_t>(0xFE00, size - sent);
    ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, n, sent + n == size), kDirToDevice, p + sent, n));
    sent += n;
  }
  // A block past the end, a wrong EndImage size and code.
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(p, 10, true), kDirToDevice, p, 10));
  EXPECT_NE(b.LastReason().find("runs past the image size"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(EndImageCdb(6, size + 1)));
  EXPECT_NE(b.LastReason().find("BeginImage said"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(EndImageCdb(7, size)));
  ASSERT_TRUE(b.station.Ok(EndImageCdb(6, size)));
  EXPECT_EQ(b.Stored("images/image_6.bin"), image);
  EXPECT_EQ(b.rejected().size(), 6u);
}

TEST(HandsetImages, OrderAndCompletenessAreChecked) {
  Bench b;
  Bytes image = Pattern(70000, 9);
  // Images need OpenDownload, and readiness after it.
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("OpenDownload"), std::string::npos);
  ASSERT_TRUE(b.station.OpenDownload());
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("busy"), std::string::npos);
  ASSERT_TRUE(b.station.WaitReady());
  // Stage commands of later stages are refused here.
  EXPECT_FALSE(b.station.Ok(SelectModeCdb()));
  EXPECT_FALSE(b.station.Out(NameCdb(1, 9), Bytes(9, 'a')));
  EXPECT_NE(b.LastReason().find("download stage"), std::string::npos);

  ASSERT_TRUE(b.station.Ok(BeginImageCdb(2, 70000)));
  EXPECT_FALSE(b.station.Ok(BeginImageCdb(3, 10)));  // one image at a time
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(image.data(), 0xFE00, false), kDirToDevice, image.data(), 0xFE00));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(2, 70000)));
  EXPECT_NE(b.LastReason().find("received 65024 of 70000"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(FinishImagesCdb(false)));
  EXPECT_NE(b.LastReason().find("still open"), std::string::npos);
  // AbortImage drops the partial image; the repetition is stored whole.
  ASSERT_TRUE(b.station.Ok(AbortImageCdb()));
  EXPECT_FALSE(PathExists(b.dir.path() + "/SIM0001/images/image_2.bin"));
  ASSERT_TRUE(b.station.SendImage(2, image));
  EXPECT_EQ(b.Stored("images/image_2.bin"), image);
}

TEST(HandsetImages, SegmentsAreCheckedForLengthNumberAndCheckRegister) {
  Bench b;
  Bytes system = Pattern(17301504 + 70000, 11);
  const uint8_t* p = system.data();
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.WaitReady());
  ASSERT_TRUE(b.station.Ok(BeginImageCdb(5, static_cast<uint32_t>(system.size()))));
  uint32_t sent = 0;
  for (int i = 0; i < 266; ++i, sent += 0xFE00)
    ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, 0xFE00, false), kDirToDevice, p + sent, 0xFE00));
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, 0x1400, false), kDirToDevice, p + sent, 0x1400));
  sent += 0x1400;
  // The segment is full: no block before it is committed.
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(p + sent, 0xFE00, false), kDirToDevice, p + sent, 0xFE00));
  EXPECT_NE(b.LastReason().find("not committed"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent - 1, 1, false)));
  EXPECT_NE(b.LastReason().find("length"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent, 2, false)));
  EXPECT_NE(b.LastReason().find("segment number 2, expected 1"), std::string::npos);
  EXPECT_FALSE(b.station.Ok(CommitSegmentCdb(5, sent, 1, true)));
  ASSERT_TRUE(b.station.Ok(CommitSegmentCdb(5, sent, 1, false)));
  uint32_t check = Crc16Update(p, sent, 0);
  EXPECT_FALSE(b.station.Ok(SegmentCheckCdb(5, check & 0xFFFF)));  // a 16-bit value is not enough
  EXPECT_NE(b.LastReason().find("segment 1 check"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(SegmentCheckCdb(5, check)));
  // Busy storing the segment.
  EXPECT_FALSE(b.station.Ok(ImageBlockCdb(p + sent, 0xFE00, false), kDirToDevice, p + sent, 0xFE00));
  ASSERT_TRUE(b.station.WaitReady(1200));
  // The rest (70,000 bytes): a full block and a last one.
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, 0xFE00, false), kDirToDevice, p + sent, 0xFE00));
  sent += 0xFE00;
  uint32_t rest = static_cast<uint32_t>(system.size()) - sent;
  ASSERT_TRUE(b.station.Ok(ImageBlockCdb(p + sent, rest, true), kDirToDevice, p + sent, rest));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(5, static_cast<uint32_t>(system.size()))));
  EXPECT_NE(b.LastReason().find("not committed as a segment"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(CommitSegmentCdb(5, 70000, 2, true)));
  EXPECT_FALSE(b.station.Ok(EndImageCdb(5, static_cast<uint32_t>(system.size()))));
  EXPECT_NE(b.LastReason().find("check not sent"), std::string::npos);
  ASSERT_TRUE(b.station.Ok(SegmentCheckCdb(5, Crc16Update(p + 17301504, 70000, 0))));
  ASSERT_TRUE(b.station.WaitReady(1200));
  ASSERT_TRUE(b.station.Ok(EndImageCdb(5, static_cast<uint32_t>(system.size()))));
  EXPECT_EQ(b.Stored("images/image_5.bin"), system);
}

TEST(HandsetImages, APlainSystemImageNeedsNoSegments) {
  // The station's repetition of a failed system image uses the plain form:
  // full blocks across the segment boundary, no segment commands.
  Bench b;
  Bytes system = Pattern(17301504 + 65024 * 2, 12);
  ASSERT_TRUE(b.station.OpenDownload());
  ASSERT_TRUE(b.station.SendImage(5, system));
  EXPECT_TRUE(b.rejected().empty()) << b.LastReason();
  EXPECT_EQ(b.Stored("images/image_5.bin"), system);
  EXPECT_EQ(b.model.report().images[0].segments, 0u);
}

}  // namespace
}  // namespace flashery::sim
