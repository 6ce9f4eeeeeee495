#include "zip/inflate.h"

#include <bit>
#include <cstring>

#include "zip/byte_source.h"
#include "zip/huffman.h"
#include "zip/output_window.h"

namespace flashery {
namespace {

constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

// First-level widths: wide enough that nearly every literal, length and
// distance code is found with one lookup.
constexpr unsigned kLitLenRoot = 11;
constexpr unsigned kDistRoot = 8;
// Bits a length code, a distance code and their extra bits take at most.
constexpr unsigned kMatchBits = 15 + 5 + 15 + 13;
constexpr unsigned kCodeLenRoot = 7;

// The fixed codes of block type 1 (RFC 1951, 3.2.6), built once. Symbols
// 286, 287 and distances 30, 31 have codes but are invalid when decoded.
struct FixedTables {
  HuffmanEntry litStorage[kLitLenTableEntries];
  HuffmanEntry distStorage[kDistTableEntries];
  HuffmanTable lit, dist;
  FixedTables() {
    uint8_t lengths[288];
    for (int i = 0; i < 144; ++i) lengths[i] = 8;
    for (int i = 144; i < 256; ++i) lengths[i] = 9;
    for (int i = 256; i < 280; ++i) lengths[i] = 7;
    for (int i = 280; i < 288; ++i) lengths[i] = 8;
    BuildHuffmanTable(lengths, 288, kLitLenRoot, litStorage, kLitLenTableEntries, &lit);
    for (int i = 0; i < 32; ++i) lengths[i] = 5;
    BuildHuffmanTable(lengths, 32, 5, distStorage, kDistTableEntries, &dist);
  }
};

const FixedTables& Fixed() {
  static const FixedTables tables;
  return tables;
}

class Inflater {
 public:
  Inflater(ByteSource& in, OutputWindow& out) : in_(in), out_(out) {}

  int Run() {
    bool last = false;
    while (!last) {
      Fill();
      last = Take(1) != 0;
      uint32_t type = Take(2);
      int r;
      switch (type) {
        case 0: r = StoredBlock(); break;
        case 1: r = Codes(Fixed().lit, Fixed().dist); break;
        case 2: r = DynamicBlock(); break;
        default: r = kInflateBadBlock; break;
      }
      if (r == kInflateOk && truncated_) r = kInflateBadData;
      if (r != kInflateOk) return r;
      if (out_.writeFailed()) return kInflateWriteFailed;
    }
    GiveBackWholeBytes();
    return out_.Finish() ? kInflateOk : kInflateWriteFailed;
  }

 private:
  // Bit buffer: least significant bit first. Beyond the end of the input
  // it is padded with zero bytes (counted in padding_) so lookups can
  // always peek; consuming a padded bit marks the stream as truncated.
  void Fill() {
    if (count_ > 56) return;
    if constexpr (std::endian::native == std::endian::little) {
      if (padding_ == 0 && in_.Available() >= 8) {
        uint64_t v;
        std::memcpy(&v, in_.Data(), 8);
        bits_ |= v << count_;
        unsigned take = (63 - count_) >> 3;
        in_.Skip(take);
        count_ += take * 8;
        return;
      }
    }
    while (count_ <= 56) {
      uint8_t b;
      if (padding_ == 0 && in_.Next(b)) {
        bits_ |= static_cast<uint64_t>(b) << count_;
      } else {
        bits_ &= (count_ ? (~0ull >> (64 - count_)) : 0);
        padding_ += 8;
      }
      count_ += 8;
    }
  }

  uint32_t Peek(unsigned n) const { return static_cast<uint32_t>(bits_ & ((1ull << n) - 1)); }

  void Drop(unsigned n) {
    if (n > count_ - padding_) {
      truncated_ = true;
      n = count_ - padding_;  // never consume padding: the caller stops
    }
    bits_ >>= n;
    count_ -= n;
  }

  uint32_t Take(unsigned n) {
    uint32_t v = Peek(n);
    Drop(n);
    return v;
  }

  void GiveBackWholeBytes() {
    unsigned whole = (count_ - padding_) / 8;
    in_.Unread(whole);
    bits_ = 0;
    count_ = 0;
    padding_ = 0;
  }

  int StoredBlock() {
    Drop((count_ - padding_) % 8);
    Fill();
    uint32_t len = Take(16);
    uint32_t nlen = Take(16);
    if (truncated_ || len != (~nlen & 0xFFFF)) return kInflateBadData;
    GiveBackWholeBytes();
    if (!out_.HasRoom(len)) return kInflateTooLong;
    while (len) {
      if (in_.Available() == 0 && !in_.Refill()) return kInflateBadData;
      size_t k = in_.Available() < len ? in_.Available() : len;
      out_.PutBytes(in_.Data(), k);
      in_.Skip(k);
      len -= static_cast<uint32_t>(k);
    }
    return kInflateOk;
  }

  int DynamicBlock() {
    Fill();
    unsigned nlit = Take(5) + 257;
    unsigned ndist = Take(5) + 1;
    unsigned nclen = Take(4) + 4;
    if (nlit > 286 || ndist > 30) return kInflateBadData;

    uint8_t clen[19] = {};
    for (unsigned i = 0; i < nclen; ++i) {
      Fill();
      clen[kCodeLengthOrder[i]] = static_cast<uint8_t>(Take(3));
    }
    HuffmanTable clTable;
    int r = BuildHuffmanTable(clen, 19, kCodeLenRoot, clStorage_, kCodeLenTableEntries, &clTable);
    if (r != kHuffmanOk) return r == kHuffmanIncomplete ? kInflateBadData : r;

    uint8_t lengths[286 + 30] = {};
    const unsigned total = nlit + ndist;
    unsigned i = 0;
    while (i < total) {
      Fill();
      HuffmanEntry e = HuffmanLookup(clTable, bits_);
      if (e.kind != kHuffmanSymbol) return kInflateBadData;
      Drop(e.bits);
      if (truncated_) return kInflateBadData;
      unsigned sym = e.value;
      if (sym < 16) {
        lengths[i++] = static_cast<uint8_t>(sym);
        continue;
      }
      uint8_t value = 0;
      unsigned repeat;
      if (sym == 16) {
        if (i == 0) return kInflateBadData;  // nothing to repeat
        value = lengths[i - 1];
        repeat = 3 + Take(2);
      } else if (sym == 17) {
        repeat = 3 + Take(3);
      } else {
        repeat = 11 + Take(7);
      }
      if (repeat > total - i) return kInflateBadData;
      std::memset(lengths + i, value, repeat);
      i += repeat;
    }
    if (truncated_) return kInflateBadData;
    if (lengths[256] == 0) return kInflateBadData;  // the block could never end

    HuffmanTable lit, dist;
    r = BuildHuffmanTable(lengths, nlit, kLitLenRoot, litStorage_, kLitLenTableEntries, &lit);
    if (r != kHuffmanOk) return r == kHuffmanIncomplete ? kInflateBadData : r;
    r = BuildHuffmanTable(lengths + nlit, ndist, kDistRoot, distStorage_, kDistTableEntries, &dist);
    if (r != kHuffmanOk) return r == kHuffmanIncomplete ? kInflateBadData : r;
    return Codes(lit, dist);
  }

  int Codes(const HuffmanTable& lit, const HuffmanTable& dist) {
    for (;;) {
      // Refilled only when a whole match might not fit: short literals are
      // decoded several to a refill.
      if (count_ < kMatchBits) Fill();
      HuffmanEntry e = HuffmanLookup(lit, bits_);
      if (e.kind != kHuffmanSymbol) return kInflateBadData;
      Drop(e.bits);
      unsigned sym = e.value;
      if (sym < 256) {
        if (truncated_) return kInflateBadData;
        if (!out_.HasRoom(1)) return kInflateTooLong;
        out_.Put(static_cast<uint8_t>(sym));
        continue;
      }
      if (sym == 256) return truncated_ ? kInflateBadData : kInflateOk;
      sym -= 257;
      if (sym >= 29) return kInflateBadData;
      uint32_t length = kLengthBase[sym] + Take(kLengthExtra[sym]);

      e = HuffmanLookup(dist, bits_);
      if (e.kind != kHuffmanSymbol || e.value >= 30) return kInflateBadData;
      Drop(e.bits);
      uint32_t distance = kDistBase[e.value] + Take(kDistExtra[e.value]);
      if (truncated_ || distance > out_.produced()) return kInflateBadData;
      if (!out_.HasRoom(length)) return kInflateTooLong;
      out_.CopyBack(distance, length);
    }
  }

  ByteSource& in_;
  OutputWindow& out_;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
  unsigned padding_ = 0;
  bool truncated_ = false;
  HuffmanEntry clStorage_[kCodeLenTableEntries];
  HuffmanEntry litStorage_[kLitLenTableEntries];
  HuffmanEntry distStorage_[kDistTableEntries];
};

}  // namespace

int Inflate(ByteSource& in, OutputWindow& out) {
  Inflater inflater(in, out);
  return inflater.Run();
}

}  // namespace flashery
