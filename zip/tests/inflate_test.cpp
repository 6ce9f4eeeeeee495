// The Deflate decoder against zlib's encoder and against streams built bit
// by bit: every block type, every match length, distances across the whole
// window, overlapping copies, and hostile streams that must fail cleanly.
#include <zlib.h>

#include <gtest/gtest.h>

#include <functional>

#include "zip/byte_source.h"
#include "zip/inflate.h"
#include "zip/output_window.h"
#include "zip/tests/deflate_writer.h"
#include "zip/tests/test_corpus.h"

namespace flashery {
namespace {

using test::DeflateWriter;

struct Decoded {
  int result;
  std::vector<uint8_t> bytes;
  uint64_t consumed;
};

Decoded Decode(const std::vector<uint8_t>& stream, uint64_t limit = OutputWindow::kUnlimited) {
  MemoryFeed feed(stream.data(), stream.size());
  ByteSource source(feed);
  VectorSink sink;
  OutputWindow window(sink, limit);
  int r = Inflate(source, window);
  return {r, sink.bytes, source.consumed()};
}

std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& data, int level, int strategy = Z_DEFAULT_STRATEGY,
                                 int memLevel = 8) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy), Z_OK);
  std::vector<uint8_t> out(deflateBound(&z, data.size()) + 64);
  z.next_in = const_cast<uint8_t*>(data.data());
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// zlib's reading of a raw stream, to prove the hand-built streams valid.
std::vector<uint8_t> ZlibInflate(const std::vector<uint8_t>& stream, size_t expected) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  std::vector<uint8_t> out(expected + 1);
  z.next_in = const_cast<uint8_t*>(stream.data());
  z.avail_in = static_cast<uInt>(stream.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(inflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

TEST(Inflate, DecodesWhatZlibMakesAtEveryLevelAndStrategy) {
  const std::vector<std::vector<uint8_t>> corpus = {
      {},
      {'a'},
      test::TextBytes(1000, 1),
      test::TextBytes(120000, 2),
      test::RandomBytes(70000, 3),
      test::StructuredBytes(100000, 4),
      test::MixedBytes(150000, 5),
      std::vector<uint8_t>(100000, 0x55),
  };
  const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
  for (size_t c = 0; c < corpus.size(); ++c) {
    for (int level = 0; level <= 9; ++level) {
      for (int strategy : strategies) {
        if (level == 0 && strategy != Z_DEFAULT_STRATEGY) continue;
        auto stream = ZlibDeflate(corpus[c], level, strategy, level == 1 ? 1 : 8);
        Decoded d = Decode(stream);
        ASSERT_EQ(d.result, kInflateOk) << "sample " << c << " level " << level << " strategy " << strategy;
        ASSERT_EQ(d.bytes, corpus[c]) << "sample " << c << " level " << level << " strategy " << strategy;
        EXPECT_EQ(d.consumed, stream.size());
      }
    }
  }
}

TEST(Inflate, StoredBlocksIncludingEmptyOnes) {
  DeflateWriter w;
  w.Stored(false, {});
  w.Stored(false, {1, 2, 3});
  w.Stored(false, {});
  auto big = test::RandomBytes(65535, 9);
  w.Stored(true, big);
  Decoded d = Decode(w.Finish());
  ASSERT_EQ(d.result, kInflateOk);
  std::vector<uint8_t> want = {1, 2, 3};
  want.insert(want.end(), big.begin(), big.end());
  EXPECT_EQ(d.bytes, want);
}

TEST(Inflate, EveryMatchLengthAndDistancesAcrossTheWindow) {
  // Fixed block: 32768 literal bytes, then every match length 3..258 at
  // each distance of the table (the short ones overlap their own output;
  // around 8 and 16 the copy changes its piece size), each checked against
  // a naive copy. The output, over a megabyte, crosses many window slides.
  auto prefix = test::RandomBytes(32768, 11);
  DeflateWriter w;
  w.Header(true, 1);
  std::vector<uint8_t> want;
  for (uint8_t b : prefix) {
    w.FixedSymbol(b);
    want.push_back(b);
  }
  std::vector<unsigned> distances = {1,  2,  3,   4,   5,    6,    7,    8,    9,    10,    11,    12,    13,
                                     14, 15, 16,  17,  24,   25,   31,   32,   33,   256,   257,   1024,  1025,
                                     4096, 4097, 8192, 8193, 16384, 16385, 24576, 24577, 32767, 32768};
  for (unsigned distance : distances) {
    for (unsigned length = 3; length <= 258; ++length) {
      w.FixedLength(length);
      w.FixedDistance(distance);
      for (unsigned i = 0; i < length; ++i) want.push_back(want[want.size() - distance]);
    }
  }
  w.FixedSymbol(256);
  auto stream = w.Finish();
  ASSERT_EQ(ZlibInflate(stream, want.size()), want);  // the stream is what we think it is
  Decoded d = Decode(stream);
  ASSERT_EQ(d.result, kInflateOk);
  EXPECT_EQ(d.bytes, want);
}

TEST(Inflate, RefusesMalformedStreams) {
  const unsigned order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
  struct Case {
    const char* what;
    std::function<void(DeflateWriter&)> build;
    int result;
  } cases[] = {
      {"no block at all", [](DeflateWriter&) {}, kInflateBadData},
      {"block type 3", [](DeflateWriter& w) { w.Header(true, 3); }, kInflateBadBlock},
      {"stored length without its complement",  // 0xFFFD is the complement of 2, not of 3
       [](DeflateWriter& w) { w.Header(true, 0); w.AlignToByte(); w.Bits(3, 16); w.Bits(0xFFFD, 16); w.Bits(0, 24); },
       kInflateBadData},
      {"287 literal/length codes",
       [](DeflateWriter& w) { w.Header(true, 2); w.Bits(30, 5); w.Bits(0, 9); w.Bits(~0u, 32); w.Bits(~0u, 32); },
       kInflateBadData},
      {"code-length code lengths 1,1,1: over-subscribed",  // octal 0111: the 3-bit lengths 1, 1, 1, 0
       [](DeflateWriter& w) { w.Header(true, 2); w.Bits(0, 14); w.Bits(0111, 12); }, kInflateBadBlock},
      {"a distance before the entry's first byte",
       [](DeflateWriter& w) {
         w.Header(true, 1);
         w.FixedSymbol('x');
         w.FixedLength(3);
         w.FixedDistance(2);
         w.FixedSymbol(256);
       },
       kInflateBadData},
      {"fixed code 286 (exists, means nothing)",
       [](DeflateWriter& w) { w.Header(true, 1); w.FixedSymbol('x'); w.FixedSymbol(286); w.Bits(0, 16); },
       kInflateBadData},
      {"distance code 30",
       [](DeflateWriter& w) { w.Header(true, 1); w.FixedSymbol('x'); w.FixedLength(3); w.Code(30, 5); w.Bits(0, 16); },
       kInflateBadData},
      // A dynamic block whose literal/length code has no end-of-block code
      // could only end with the input: refused before any literal.
      {"no end-of-block code",
       [&order](DeflateWriter& w) {
         w.Header(true, 2);
         w.Bits(0, 5);   // 257 literal/length codes
         w.Bits(0, 5);   // 1 distance code
         w.Bits(14, 4);  // 18 code-length codes, through the one for length 1
         for (int i = 0; i < 18; ++i) w.Bits(order[i] == 1 || order[i] == 18 ? 1 : 0, 3);
         // Code-length code: symbols 1 and 18, one bit each (1 = "0", 18 = "1").
         w.Code(0, 1);  // literals 0 and 1 have length 1
         w.Code(0, 1);
         w.Code(1, 1);
         w.Bits(138 - 11, 7);  // 138 zeros
         w.Code(1, 1);
         w.Bits(117 - 11, 7);  // 117 zeros: literal 256 has no code
         w.Code(0, 1);         // the one distance code
         for (int i = 0; i < 64; ++i) w.Byte(0);
       },
       kInflateBadData},
  };
  Decoded d;
  for (const Case& c : cases) {
    DeflateWriter w;
    c.build(w);
    d = Decode(w.Finish());
    EXPECT_EQ(d.result, c.result) << c.what;
    EXPECT_LE(d.bytes.size(), 1u) << c.what;
  }
  EXPECT_LT(d.consumed, 40u);  // the block without an end was refused before its 64 bytes of literals
}

TEST(Inflate, EveryTruncationAndManyCorruptionsFailWithoutHarm) {
  auto data = test::MixedBytes(60000, 21);
  for (int level : {1, 6, 9}) {
    auto stream = ZlibDeflate(data, level);
    for (size_t cut = 0; cut < stream.size(); cut += (cut < 64 ? 1 : 97)) {
      std::vector<uint8_t> part(stream.begin(), stream.begin() + static_cast<long>(cut));
      Decoded d = Decode(part);
      EXPECT_NE(d.result, kInflateOk) << "level " << level << " cut at " << cut;
    }
    // Flipped bits: whatever the outcome, never more than the limit and
    // never a crash (the sanitizer builds watch the memory).
    auto rng = test::RandomBytes(400, static_cast<uint32_t>(level));
    for (size_t i = 0; i + 1 < rng.size(); i += 2) {
      auto bad = stream;
      size_t at = (rng[i] * 256u + rng[i + 1]) % bad.size();
      bad[at] ^= static_cast<uint8_t>(1u << (rng[i] % 8));
      Decoded d = Decode(bad, data.size());
      EXPECT_LE(d.bytes.size(), data.size());
      EXPECT_LE(d.consumed, bad.size());
    }
  }
}

TEST(Inflate, OutputLimitWriteFailureAndReadAheadGivenBack) {
  auto data = test::TextBytes(100000, 5);
  auto stream = ZlibDeflate(data, 6);
  Decoded exact = Decode(stream, data.size());
  EXPECT_EQ(exact.result, kInflateOk);
  Decoded tooLong = Decode(stream, data.size() - 1);
  EXPECT_EQ(tooLong.result, kInflateTooLong);
  EXPECT_LE(tooLong.bytes.size(), data.size() - 1);

  struct FailingSink : OutputSink {
    bool Write(const uint8_t*, size_t) override { return false; }
  } failing;
  MemoryFeed feed(stream.data(), stream.size());
  ByteSource source(feed);
  OutputWindow window(failing);
  EXPECT_EQ(Inflate(source, window), kInflateWriteFailed);

  // Bytes after the stream stay with the source.
  auto padded = stream;
  for (char c : std::string("TAIL")) padded.push_back(static_cast<uint8_t>(c));
  MemoryFeed feed2(padded.data(), padded.size());
  ByteSource source2(feed2);
  VectorSink sink;
  OutputWindow window2(sink);
  ASSERT_EQ(Inflate(source2, window2), kInflateOk);
  EXPECT_EQ(source2.consumed(), stream.size());
  uint8_t next = 0;
  ASSERT_TRUE(source2.Next(next));
  EXPECT_EQ(next, 'T');
}

}  // namespace
}  // namespace flashery
