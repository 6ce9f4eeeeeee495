// Test helper: writes Deflate streams bit by bit, so tests can build
// exactly the blocks, lengths and distances they mean to exercise.
#pragma once

#include <cstdint>
#include <vector>

namespace flashery::test {

class DeflateWriter {
 public:
  // Value bits, least significant first (header fields, extra bits).
  void Bits(uint32_t value, unsigned n) {
    for (unsigned i = 0; i < n; ++i) Bit((value >> i) & 1);
  }
  // A Huffman code, most significant bit first.
  void Code(uint32_t code, unsigned n) {
    for (unsigned i = n; i-- > 0;) Bit((code >> i) & 1);
  }
  void AlignToByte() {
    while (used_ != 0) Bit(0);
  }
  void Byte(uint8_t b) { Bits(b, 8); }

  // Block header: last flag and type.
  void Header(bool last, unsigned type) {
    Bits(last ? 1 : 0, 1);
    Bits(type, 2);
  }
  // A whole stored block with `data`.
  void Stored(bool last, const std::vector<uint8_t>& data) {
    Header(last, 0);
    AlignToByte();
    Bits(static_cast<uint32_t>(data.size()), 16);
    Bits(static_cast<uint32_t>(~data.size()) & 0xFFFF, 16);
    for (uint8_t b : data) Byte(b);
  }
  // Fixed-code symbols.
  void FixedSymbol(unsigned sym) {
    if (sym < 144) Code(0x30 + sym, 8);
    else if (sym < 256) Code(0x190 + sym - 144, 9);
    else if (sym < 280) Code(sym - 256, 7);
    else Code(0xC0 + sym - 280, 8);
  }
  void FixedLength(unsigned length) {
    static const unsigned base[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const unsigned extra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    unsigned c = 28;
    while (base[c] > length) --c;
    if (length == 258) c = 28;
    FixedSymbol(257 + c);
    Bits(length - base[c], extra[c]);
  }
  void FixedDistance(unsigned distance) {
    static const unsigned base[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                      193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
    static const unsigned extra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
    unsigned c = 29;
    while (base[c] > distance) --c;
    Code(c, 5);
    Bits(distance - base[c], extra[c]);
  }

  std::vector<uint8_t> Finish() {
    std::vector<uint8_t> out = bytes_;
    if (used_) out.push_back(partial_);
    return out;
  }

 private:
  void Bit(unsigned b) {
    partial_ |= static_cast<uint8_t>(b << used_);
    if (++used_ == 8) {
      bytes_.push_back(partial_);
      partial_ = 0;
      used_ = 0;
    }
  }
  std::vector<uint8_t> bytes_;
  uint8_t partial_ = 0;
  unsigned used_ = 0;
};

}  // namespace flashery::test
