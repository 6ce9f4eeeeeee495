// Decoding tables: canonical codes, sub-tables of long codes, and the
// code sets Deflate refuses or allows.
#include <gtest/gtest.h>

#include <vector>

#include "zip/huffman.h"

namespace flashery {
namespace {

// Canonical code of each symbol (RFC 1951, 3.2.2), bit-reversed so it can
// be fed least significant bit first.
std::vector<uint32_t> ReversedCodes(const std::vector<uint8_t>& lengths) {
  unsigned count[16] = {};
  for (auto l : lengths) ++count[l];
  count[0] = 0;
  uint32_t next[16] = {}, code = 0;
  for (int b = 1; b < 16; ++b) next[b] = code = (code + count[b - 1]) << 1;
  std::vector<uint32_t> out(lengths.size());
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (!lengths[s]) continue;
    uint32_t c = next[lengths[s]]++, r = 0;
    for (int i = 0; i < lengths[s]; ++i, c >>= 1) r = (r << 1) | (c & 1);
    out[s] = r;
  }
  return out;
}

void ExpectDecodesEverySymbol(const std::vector<uint8_t>& lengths, unsigned root) {
  std::vector<HuffmanEntry> storage(kLitLenTableEntries);
  HuffmanTable t;
  ASSERT_EQ(BuildHuffmanTable(lengths.data(), static_cast<unsigned>(lengths.size()), root, storage.data(),
                              storage.size(), &t),
            kHuffmanOk);
  auto codes = ReversedCodes(lengths);
  for (size_t s = 0; s < lengths.size(); ++s) {
    if (!lengths[s]) continue;
    for (uint64_t tail : {0ull, 0x5A5Aull, 0xFFFFull}) {  // whatever follows the code
      HuffmanEntry e = HuffmanLookup(t, codes[s] | (tail << lengths[s]));
      ASSERT_EQ(e.kind, kHuffmanSymbol) << "symbol " << s;
      EXPECT_EQ(e.value, s);
      EXPECT_EQ(e.bits, lengths[s]);
    }
  }
}

TEST(Huffman, CanonicalCodesDecodeThroughFirstLevelAndSubTables) {
  ExpectDecodesEverySymbol({2, 1, 3, 3}, 7);
  // Lengths 1..15 and one more 15: complete, with codes far longer than
  // the first level.
  std::vector<uint8_t> deep;
  for (uint8_t l = 1; l <= 15; ++l) deep.push_back(l);
  deep.push_back(15);
  ExpectDecodesEverySymbol(deep, 9);
  ExpectDecodesEverySymbol(deep, 6);
  // A literal-sized alphabet: 256 codes of 9 bits, short ones, and a tail
  // of codes 7..15 bits long behind several first-level entries.
  std::vector<uint8_t> wide(256, 9);
  wide.push_back(2);
  wide.push_back(3);
  for (int i = 0; i < 14; ++i) wide.push_back(7);
  for (uint8_t l = 7; l <= 15; ++l) wide.push_back(l);
  wide.push_back(15);
  uint64_t kraft = 0;  // in units of 2^-15
  for (auto l : wide) kraft += 1u << (15 - l);
  ASSERT_EQ(kraft, 1u << 15);
  ExpectDecodesEverySymbol(wide, 9);
  ExpectDecodesEverySymbol(wide, 6);
}

TEST(Huffman, RefusesWhatDeflateRefusesAndAllowsWhatItAllows) {
  HuffmanEntry storage[kCodeLenTableEntries];
  HuffmanTable t;
  const uint8_t over[] = {1, 1, 1};
  EXPECT_EQ(BuildHuffmanTable(over, 3, 7, storage, kCodeLenTableEntries, &t), kHuffmanOversubscribed);
  const uint8_t incomplete[] = {2, 2, 2};
  EXPECT_EQ(BuildHuffmanTable(incomplete, 3, 7, storage, kCodeLenTableEntries, &t), kHuffmanIncomplete);

  // One code of length 1 is allowed (a block with one distance); the
  // other half of the code space stays invalid.
  const uint8_t single[] = {0, 1, 0};
  ASSERT_EQ(BuildHuffmanTable(single, 3, 7, storage, kCodeLenTableEntries, &t), kHuffmanOk);
  EXPECT_EQ(HuffmanLookup(t, 0).kind, kHuffmanSymbol);
  EXPECT_EQ(HuffmanLookup(t, 0).value, 1);
  EXPECT_EQ(HuffmanLookup(t, 1).kind, kHuffmanInvalid);

  // No codes at all: an empty table; every lookup is invalid.
  const uint8_t none[] = {0, 0, 0, 0};
  ASSERT_EQ(BuildHuffmanTable(none, 4, 7, storage, kCodeLenTableEntries, &t), kHuffmanOk);
  for (uint64_t bits = 0; bits < 128; ++bits) EXPECT_EQ(HuffmanLookup(t, bits).kind, kHuffmanInvalid);

  // Storage too small is reported, never overrun.
  const uint8_t deep[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15};
  HuffmanEntry tiny[8];
  EXPECT_EQ(BuildHuffmanTable(deep, 16, 3, tiny, 8, &t), kHuffmanNoRoom);
}

}  // namespace
}  // namespace flashery
