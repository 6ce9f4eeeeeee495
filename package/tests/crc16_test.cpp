#include "package/crc16.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <atomic>
#include <random>
#include <thread>
#include <string>
#include <vector>

#include "package/crc16_dispatch.h"
#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

// Runs with FLASHERY_CRC16_PATH set by the test registration; without it the
// fastest supported routine must be active.
TEST(Crc16Dispatch, EnvironmentChoosesTheRoutine) {
  const char* env = std::getenv("FLASHERY_CRC16_PATH");
  auto named = env ? ParseCrc16Path(env) : std::nullopt;
  if (named && Crc16PathSupported(*named)) {
    EXPECT_EQ(ActiveCrc16Path(), *named);
  } else {
    EXPECT_EQ(ActiveCrc16Path(), SupportedCrc16Paths().back());
  }
}

TEST(Crc16, KnownValuesOnEveryRoutine) {
  for (Crc16Path path : SupportedCrc16Paths()) {
    SCOPED_TRACE(Crc16PathName(path));
    auto crc = [&](const std::string& s, uint32_t init) { return Crc16UpdateOn(path, Bytes(s), s.size(), init); };
    EXPECT_EQ(crc("123456789", 0), 0x869031C3u);
    EXPECT_EQ(crc("abc", 0), 0x7C749DD6u);
    EXPECT_EQ(crc("A", 0), 0x000058E5u);
    EXPECT_EQ(crc("56789", crc("1234", 0)), 0x869031C3u);
    EXPECT_EQ(crc("", 0xDEADBEEFu), 0xDEADBEEFu);
  }
  // The register keeps all 32 bits: one byte shifts the init's bits 16-23 up.
  const uint8_t zero = 0;
  EXPECT_EQ(Crc16Update(&zero, 1, 0x00AB0000u) >> 24, 0xABu);
}

TEST(Crc16, EveryRoutineMatchesTheTableOverAllShortLengths) {
  std::mt19937 rng(20240607);
  std::vector<uint8_t> data = RandomBytes(rng, 4096 + 64);
  for (Crc16Path path : SupportedCrc16Paths()) {
    SCOPED_TRACE(Crc16PathName(path));
    for (size_t len = 0; len <= 4096; ++len) {
      uint32_t init = static_cast<uint32_t>(rng());
      size_t start = rng() % 64;  // unaligned starts as well
      const uint8_t* p = data.data() + start;
      // The register CRC and the reflected CRC of the WriteBlock check.
      if (Crc16UpdateOn(path, p, len, init) != Crc16UpdateTable(p, len, init) ||
          HdlcUpdateOn(path, p, len, static_cast<uint16_t>(init)) !=
              HdlcUpdateTable(p, len, static_cast<uint16_t>(init))) {
        ADD_FAILURE() << "length " << len << " init " << init << " start " << start;
        break;
      }
    }
  }
}

TEST(Crc16, ForcedRoutinesAgreeOnLongAndChainedInput) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data = RandomBytes(rng, 3 * 65024 + 777);
  const uint32_t want = Crc16UpdateTable(data.data(), data.size(), 0x1234u);
  const Crc16Path before = ActiveCrc16Path();
  for (Crc16Path path : {Crc16Path::Table, Crc16Path::Slice16, Crc16Path::Clmul, Crc16Path::VClmul}) {
    SCOPED_TRACE(Crc16PathName(path));
    ASSERT_EQ(ForceCrc16Path(path), Crc16PathSupported(path));
    if (!Crc16PathSupported(path)) continue;
    EXPECT_EQ(ActiveCrc16Path(), path);
    EXPECT_EQ(Crc16Update(data.data(), data.size(), 0x1234u), want);
    // The WriteBlock check follows the forced routine; whole blocks and a
    // length that leaves odd bits.
    for (size_t bits : {size_t{8} * data.size(), size_t{8} * 65024, size_t{8} * 65024 + 5}) {
      uint32_t reference = HdlcUpdateTable(data.data(), bits / 8, 0xFFFF);
      for (size_t i = 0; i < bits % 8; ++i) reference = (reference & 1u) ? (reference >> 1) ^ 0x8408u : reference >> 1;
      EXPECT_EQ(HdlcCheckBits(data.data(), bits), static_cast<uint16_t>(~reference)) << bits;
    }
    // Pieces of random lengths, each result the next init.
    for (int round = 0; round < 20; ++round) {
      uint32_t reg = 0x1234u;
      size_t at = 0;
      while (at < data.size()) {
        size_t n = std::min<size_t>(data.size() - at, rng() % 9000);
        reg = Crc16Update(data.data() + at, n, reg);
        at += n;
      }
      ASSERT_EQ(reg, want) << "round " << round;
    }
  }
  ForceCrc16Path(before);
}

// Port jobs compute check values while the routine may be switched.
TEST(Crc16Dispatch, SwitchingRoutinesWhileOthersComputeIsSafe) {
  std::mt19937 rng(5);
  const std::vector<uint8_t> data = RandomBytes(rng, 100000);
  const uint32_t want = Crc16UpdateTable(data.data(), data.size(), 0);
  const Crc16Path before = ActiveCrc16Path();
  std::atomic<int> wrong{0};
  std::vector<std::thread> workers;
  for (int t = 0; t < 3; ++t) {
    workers.emplace_back([&] {
      for (int i = 0; i < 200; ++i) wrong += Crc16Update(data.data(), data.size(), 0) != want;
    });
  }
  for (int i = 0; i < 400; ++i) ForceCrc16Path(SupportedCrc16Paths()[i % SupportedCrc16Paths().size()]);
  for (auto& w : workers) w.join();
  ForceCrc16Path(before);
  EXPECT_EQ(wrong.load(), 0);
}

TEST(Crc16, CombineGivesTheChainedRegister) {
  std::mt19937 rng(13);
  const std::vector<uint8_t> data = RandomBytes(rng, 200000);
  // Lengths around the table's short cut and whole blocks; inits with the
  // register's upper half set, which only the shortest lengths keep.
  for (size_t length : {size_t{0}, size_t{1}, size_t{2}, size_t{3}, size_t{4}, size_t{17}, size_t{5120},
                        size_t{65024}, size_t{200000}}) {
    for (uint32_t init : {0u, 1u, 0xFFFFu, 0xABCD1234u, 0xFFFFFFFFu}) {
      uint32_t fromZero = Crc16UpdateTable(data.data(), length, 0);
      EXPECT_EQ(Crc16Combine(init, fromZero, length), Crc16UpdateTable(data.data(), length, init))
          << length << " " << init;
    }
  }
}

TEST(Crc16, SectionValueSumsNinetySixMebibytePieces) {
  testing::TempDir dir;
  const std::string path = dir / "section.bin";
  const uint64_t size = uint64_t(kSectionChunkBytes) + 1;
  const uint64_t offset = 100;
  // A sparse file with marks near the start, at the piece boundary and last.
  struct Mark {
    uint64_t at;
    uint8_t value;
  };
  const std::vector<Mark> marks = {{offset, 0x11},
                                   {offset + 4097, 0x22},
                                   {offset + kSectionChunkBytes - 1, 0x33},
                                   {offset + kSectionChunkBytes, 0x44}};
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(ftruncate(fd, static_cast<off_t>(offset + size)), 0);
  for (const Mark& m : marks) ASSERT_EQ(pwrite(fd, &m.value, 1, static_cast<off_t>(m.at)), 1);

  // Expected: the table routine over the first piece in memory, plus the
  // value of the last byte alone.
  std::vector<uint8_t> piece(kSectionChunkBytes, 0);
  for (const Mark& m : marks) {
    if (m.at - offset < kSectionChunkBytes) piece[m.at - offset] = m.value;
  }
  const uint8_t last = 0x44;
  const uint32_t want = Crc16UpdateTable(piece.data(), piece.size(), 0) + Crc16UpdateTable(&last, 1, 0);
  const uint32_t chained = Crc16UpdateTable(&last, 1, Crc16UpdateTable(piece.data(), piece.size(), 0));
  ASSERT_NE(want, chained);  // the piece rule is observable here

  EXPECT_EQ(SectionCheckValue(fd, offset, static_cast<uint32_t>(size)), want);
  // The streaming form, fed in uneven pieces that straddle the boundary.
  SectionCheckBuilder builder;
  for (size_t at = 0; at < piece.size();) {
    size_t n = std::min<size_t>(piece.size() - at, 7777777);
    builder.Add(piece.data() + at, n);
    at += n;
  }
  EXPECT_EQ(builder.Value(), Crc16UpdateTable(piece.data(), piece.size(), 0));
  builder.Add(&last, 1);
  EXPECT_EQ(builder.Value(), want);
  EXPECT_EQ(builder.bytes(), size);
  // Blocks whose values come from zero, one of them across the boundary.
  SectionCheckBuilder blocks;
  for (size_t at = 0; at < piece.size();) {
    size_t n = std::min<size_t>(piece.size() - at, 7777777);
    blocks.AddBlock(piece.data() + at, n, Crc16Update(piece.data() + at, n, 0));
    at += n;
  }
  std::vector<uint8_t> straddle(piece.end() - 3, piece.end());
  straddle.push_back(last);
  SectionCheckBuilder across;
  across.AddBlock(piece.data(), piece.size() - 3, Crc16Update(piece.data(), piece.size() - 3, 0));
  across.AddBlock(straddle.data(), straddle.size(), Crc16Update(straddle.data(), straddle.size(), 0));
  EXPECT_EQ(across.Value(), want);
  blocks.AddBlock(&last, 1, Crc16Update(&last, 1, 0));
  EXPECT_EQ(blocks.Value(), want);
  EXPECT_EQ(SectionCheckValue(fd, offset, 0), 0u);
  EXPECT_EQ(SectionCheckValue(-1, 0, 0), 0u);
  // Short by one byte, and offsets far beyond the end, are read failures.
  EXPECT_EQ(SectionCheckValue(fd, offset + 1, static_cast<uint32_t>(size)), std::nullopt);
  EXPECT_EQ(SectionCheckValue(fd, 0xFFFFFFF0u, 0x20), std::nullopt);
  EXPECT_EQ(SectionCheckValue(-1, 0, 1), std::nullopt);
  close(fd);
}

TEST(Crc16, FileValue) {
  testing::TempDir dir;
  std::mt19937 rng(3);
  std::vector<uint8_t> data = RandomBytes(rng, 3 * kFileCheckReadBytes + 5);
  ASSERT_TRUE(WriteWholeFile(dir / "f.bin", std::string(data.begin(), data.end())));
  ASSERT_TRUE(WriteWholeFile(dir / "empty.bin", ""));
  EXPECT_EQ(FileCheckValue(dir / "f.bin"), Crc16UpdateTable(data.data(), data.size(), 0));
  EXPECT_EQ(FileCheckValue(dir / "empty.bin"), 1u);
  EXPECT_EQ(FileCheckValue(dir / "missing.bin"), 0u);
  EXPECT_EQ(FileCheckValue(dir.path()), 0u);
  EXPECT_EQ(FileCheckValue(""), 0u);
}

TEST(BlockCheck, CoversOneEighthOfTheBlock) {
  std::mt19937 rng(11);
  std::vector<uint8_t> block = RandomBytes(rng, 65024);
  // Blocks of 1 to 7 bytes depend only on their length.
  EXPECT_EQ(BlockCheckValue(block.data(), 1), 0x0408);
  EXPECT_EQ(BlockCheckValue(block.data(), 7), 0xE0F1);
  EXPECT_EQ(BlockCheckValue(Bytes("abcdefgh"), 8), 0x82F7);
  EXPECT_EQ(BlockCheckValue(Bytes("123456789"), 9), 0x6C31);
  EXPECT_EQ(HdlcCheckBits(Bytes("123456789"), 72), 0x906E);
  // A full block is checked over its first 8,128 bytes only.
  uint16_t full = BlockCheckValue(block.data(), block.size());
  block[8128] ^= 0xFF;
  EXPECT_EQ(BlockCheckValue(block.data(), block.size()), full);
  block[8127] ^= 0xFF;
  EXPECT_NE(BlockCheckValue(block.data(), block.size()), full);
}

}  // namespace
}  // namespace flashery
