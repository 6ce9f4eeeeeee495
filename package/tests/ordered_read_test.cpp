#include "package/ordered_read.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/tests/test_dir.h"

namespace flashery {
namespace {

TEST(OrderedRead, HandsOverEveryByteOnceInFileOrderOrSaysWhereItFailed) {
  testing::TempDir dir;
  const size_t piece = kOrderedReadPieceBytes;
  const size_t fileBytes = piece * (kOrderedReadPieces + 2) + 123;  // more pieces than the ring holds
  std::string bytes(fileBytes, '\0');
  std::mt19937 rng(9);
  for (char& c : bytes) c = static_cast<char>(rng());
  ASSERT_TRUE(WriteWholeFile(dir / "f.bin", bytes));
  int fd = open((dir / "f.bin").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);

  struct Case {
    uint64_t size;      // asked for
    uint64_t handed;    // bytes the consumer gets
    bool failed;
  };
  const std::vector<Case> cases = {
      {0, 0, false},
      {1, 1, false},
      {piece - 1, piece - 1, false},
      {piece, piece, false},
      {fileBytes, fileBytes, false},
      {fileBytes + 1, fileBytes - 123, true},          // the file ends first: its last piece is short
      {uint64_t{piece} * 40, fileBytes - 123, true},   // far past the end
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    std::string seen;
    uint64_t expectedOffset = 0;
    OrderedReadResult r = ReadInOrder(fd, c.size, [&](const uint8_t* data, size_t length, uint64_t offset) {
      EXPECT_EQ(offset, expectedOffset);
      EXPECT_LE(length, piece);
      expectedOffset += length;
      seen.append(reinterpret_cast<const char*>(data), length);
    });
    EXPECT_EQ(r.bytes, c.handed);
    EXPECT_EQ(r.failed, c.failed);
    EXPECT_FALSE(r.stopped);
    EXPECT_TRUE(seen == bytes.substr(0, c.handed));
  }

  // A stop between two pieces ends it; a bad descriptor fails at once.
  std::stop_source stop;
  int calls = 0;
  OrderedReadResult r = ReadInOrder(
      fd, fileBytes, [&](const uint8_t*, size_t, uint64_t) { if (++calls == 2) stop.request_stop(); },
      stop.get_token());
  EXPECT_TRUE(r.stopped);
  EXPECT_EQ(calls, 2);
  EXPECT_EQ(r.bytes, 2 * piece);
  r = ReadInOrder(-1, 10, [&](const uint8_t*, size_t, uint64_t) { ADD_FAILURE(); });
  EXPECT_TRUE(r.failed);
  close(fd);
}

}  // namespace
}  // namespace flashery
