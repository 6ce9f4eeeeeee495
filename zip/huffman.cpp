#include "zip/huffman.h"

namespace flashery {
namespace {

uint32_t ReverseBits(uint32_t code, unsigned length) {
  uint32_t r = 0;
  for (unsigned i = 0; i < length; ++i) {
    r = (r << 1) | (code & 1);
    code >>= 1;
  }
  return r;
}

}  // namespace

int BuildHuffmanTable(const uint8_t* lengths, unsigned count, unsigned rootBits, HuffmanEntry* storage,
                      size_t capacity, HuffmanTable* table) {
  const HuffmanEntry invalid{0, 0, kHuffmanInvalid};
  unsigned perLength[kMaxCodeBits + 1] = {};
  unsigned longest = 0;
  for (unsigned s = 0; s < count; ++s) {
    if (lengths[s] > kMaxCodeBits) return kHuffmanOversubscribed;
    ++perLength[lengths[s]];
    if (lengths[s] > longest) longest = lengths[s];
  }
  // Kraft: the code space left after each length.
  int left = 1;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    left = 2 * left - static_cast<int>(perLength[len]);
    if (left < 0) return kHuffmanOversubscribed;
  }
  if (left > 0 && longest > 1) return kHuffmanIncomplete;

  if (rootBits > kMaxRootBits) return kHuffmanNoRoom;
  const size_t rootSize = size_t{1} << rootBits;
  if (rootSize > capacity) return kHuffmanNoRoom;
  for (size_t i = 0; i < rootSize; ++i) storage[i] = invalid;

  // First canonical code of each length.
  uint32_t nextCode[kMaxCodeBits + 2] = {};
  uint32_t code = 0;
  perLength[0] = 0;
  for (unsigned len = 1; len <= kMaxCodeBits; ++len) {
    code = (code + perLength[len - 1]) << 1;
    nextCode[len] = code;
  }

  // Codes longer than the first level: the longest code behind each
  // first-level index decides the width of that index's sub-table.
  uint8_t subLongest[1u << kMaxRootBits] = {};
  {
    uint32_t probe[kMaxCodeBits + 2];
    for (unsigned len = 0; len <= kMaxCodeBits; ++len) probe[len] = nextCode[len];
    for (unsigned s = 0; s < count; ++s) {
      unsigned len = lengths[s];
      if (len <= rootBits) continue;
      uint32_t prefix = ReverseBits(probe[len]++, len) & (rootSize - 1);
      if (len > subLongest[prefix]) subLongest[prefix] = static_cast<uint8_t>(len);
    }
  }
  size_t used = rootSize;
  for (size_t p = 0; p < rootSize; ++p) {
    if (!subLongest[p]) continue;
    unsigned width = subLongest[p] - rootBits;
    size_t size = size_t{1} << width;
    if (used + size > capacity || used > 0xFFFF) return kHuffmanNoRoom;
    storage[p] = HuffmanEntry{static_cast<uint16_t>(used), static_cast<uint8_t>(width), kHuffmanLink};
    for (size_t i = 0; i < size; ++i) storage[used + i] = invalid;
    used += size;
  }

  for (unsigned s = 0; s < count; ++s) {
    unsigned len = lengths[s];
    if (!len) continue;
    uint32_t reversed = ReverseBits(nextCode[len]++, len);
    HuffmanEntry e{static_cast<uint16_t>(s), static_cast<uint8_t>(len), kHuffmanSymbol};
    if (len <= rootBits) {
      for (size_t i = reversed; i < rootSize; i += size_t{1} << len) storage[i] = e;
    } else {
      const HuffmanEntry& link = storage[reversed & (rootSize - 1)];
      size_t base = link.value;
      size_t subSize = size_t{1} << link.bits;
      unsigned subLen = len - rootBits;
      for (size_t i = reversed >> rootBits; i < subSize; i += size_t{1} << subLen) storage[base + i] = e;
    }
  }
  table->entries = storage;
  table->rootBits = rootBits;
  return kHuffmanOk;
}

}  // namespace flashery
