// Canonical Huffman decoding tables of Deflate (RFC 1951, 3.2.2).
//
// A table is a first-level lookup of `rootBits` bits, indexed by the next
// bits of the stream (least significant first), followed by sub-tables for
// the codes longer than rootBits. A first-level entry either gives a symbol
// and its code length, or links to a sub-table indexed by the bits after
// the first level. Entries no code reaches are marked invalid, so a stream
// can never pick up a symbol that was not declared.
//
// Tables live in storage the caller provides (no allocation per block);
// the capacities below cover every complete code of Deflate's alphabets.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashery {

struct HuffmanEntry {
  uint16_t value;  // symbol, or the offset of the sub-table (kind kLink)
  uint8_t bits;    // code length, or the sub-table's index width (kind kLink)
  uint8_t kind;
};

enum : uint8_t { kHuffmanSymbol = 0, kHuffmanLink = 1, kHuffmanInvalid = 2 };

// Results of BuildHuffmanTable.
enum HuffmanBuildResult : int {
  kHuffmanOk = 0,
  kHuffmanIncomplete = 1,      // code space not filled (and more than one code)
  kHuffmanOversubscribed = 2,  // more codes than the lengths allow
  kHuffmanNoRoom = 3,          // storage too small
};

inline constexpr unsigned kMaxCodeBits = 15;
// Storage per table. The largest complete codes need 2,342 entries for 286
// literal/length symbols with an 11-bit first level and 402 for 30
// distance symbols with 8 bits (19 code-length symbols with 7 bits need
// 128); the sizes below leave a margin, and the builder checks them anyway.
inline constexpr unsigned kMaxRootBits = 11;
inline constexpr size_t kLitLenTableEntries = 4096;
inline constexpr size_t kDistTableEntries = 1024;
inline constexpr size_t kCodeLenTableEntries = 128;

struct HuffmanTable {
  const HuffmanEntry* entries = nullptr;
  unsigned rootBits = 0;
};

// Builds the table of `count` symbols with code lengths `lengths` (0 = no
// code, at most 15) into `storage`. All lengths 0 give a table in which
// every entry is invalid (result kHuffmanOk). An incomplete set is refused
// unless it is a single code of length 1, which Deflate allows.
int BuildHuffmanTable(const uint8_t* lengths, unsigned count, unsigned rootBits, HuffmanEntry* storage,
                      size_t capacity, HuffmanTable* table);

// The entry the next bits (`bits`, least significant first, at least 15
// valid) select; kind kHuffmanInvalid for a code the table does not hold.
inline HuffmanEntry HuffmanLookup(const HuffmanTable& t, uint64_t bits) {
  HuffmanEntry e = t.entries[bits & ((1u << t.rootBits) - 1)];
  if (e.kind == kHuffmanLink) e = t.entries[e.value + ((bits >> t.rootBits) & ((1u << e.bits) - 1))];
  return e;
}

}  // namespace flashery
