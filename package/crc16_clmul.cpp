// Carry-less-multiply folding for the 16-bit CRCs of the bulk.
//
// In polynomial terms the 16-bit CRC of a message M (first bit = highest
// power) with the initial state XOR-ed into its first two bytes is
// M(x)·x^16 mod P, P = x^16 + x^12 + x^5 + 1. Folding keeps a 128-bit value X
// congruent to the part of M read so far: appending 16 more bytes D gives
// X·x^128 + D = Xhi·(x^192 mod P) + Xlo·(x^128 mod P) + D, two 64×16-bit
// carry-less products that fit in 128 bits again. Several independent lanes
// run side by side (constants for the lane stride) and are folded into one at
// the end. The 16 bytes of the final X, followed by the untouched tail, then
// go through the table routine from 0; that yields the same state, because X
// and the consumed bytes are congruent.
//
// Two bit orders share the folding:
//   MSB first (Crc16Update): bytes are reversed into a register so its bit
//     127 is the first bit; the tail keeps at least two bytes, since the
//     table sets the register's upper half from the last two states.
//   reflected (the WriteBlock check, polynomial 0x8408): each byte's least
//     significant bit comes first, so a plain little-endian load puts the
//     first bit in register bit 0 and the register is the bit mirror of X.
//     The carry-less product of two 64-bit mirrors is the mirror of the
//     product shifted down by one bit, so the constants are x^(k-1) mod P,
//     mirrored, which puts the result in place without a shift.
#include "package/crc16.h"
#include "package/crc16_routines.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace flashery {
namespace {

// x^k mod P as a 16-bit polynomial.
constexpr uint64_t XPowMod(unsigned k) {
  uint32_t r = 1;
  for (unsigned i = 0; i < k; ++i) {
    r <<= 1;
    if (r & 0x10000u) r ^= 0x11021u;
  }
  return r;
}

constexpr uint64_t Mirror64(uint64_t v) {
  uint64_t r = 0;
  for (int i = 0; i < 64; ++i) r |= ((v >> i) & 1u) << (63 - i);
  return r;
}

// The constants of a fold over `strideBytes`: the qword holding the first
// (highest) 64 bits of X multiplies by x^(8·stride+64), the other by
// x^(8·stride).
struct FoldConstants {
  uint64_t first, second;
};
template <bool kReflected>
constexpr FoldConstants Fold(unsigned strideBytes) {
  if constexpr (kReflected) {
    return {Mirror64(XPowMod(8 * strideBytes + 63)), Mirror64(XPowMod(8 * strideBytes - 1))};
  } else {
    return {XPowMod(8 * strideBytes + 64), XPowMod(8 * strideBytes)};
  }
}

// Bytes past the bulk, so that the bulk is a multiple of 16.
template <bool kReflected>
constexpr size_t TailBytes(size_t length) {
  if constexpr (kReflected) return length % 16;
  return 2 + (length - 2) % 16;
}

#if defined(__x86_64__) || defined(__i386__)

#define FLASHERY_CLMUL_TARGET __attribute__((target("pclmul,ssse3,sse4.1")))
#define FLASHERY_VCLMUL_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,ssse3,sse4.1")))

FLASHERY_CLMUL_TARGET inline __m128i Reverse(__m128i v) {
  const __m128i mask = _mm_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm_shuffle_epi8(v, mask);
}

// 16 message bytes as a 128-bit polynomial (MSB first: byte 0 holds the
// top powers; reflected: the mirror of that).
template <bool kReflected>
FLASHERY_CLMUL_TARGET inline __m128i Load(const uint8_t* p) {
  __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  if constexpr (kReflected) return v;
  return Reverse(v);
}

FLASHERY_CLMUL_TARGET inline __m128i FoldStep(__m128i x, __m128i k, __m128i next) {
  __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
  __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
  return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// MSB first the first 64 bits sit in the high qword; reflected in the low.
template <bool kReflected>
FLASHERY_CLMUL_TARGET inline __m128i Constants(FoldConstants f) {
  auto a = static_cast<long long>(f.first), b = static_cast<long long>(f.second);
  return kReflected ? _mm_set_epi64x(b, a) : _mm_set_epi64x(a, b);
}

// The initial state XOR-ed into the first two message bytes.
template <bool kReflected>
FLASHERY_CLMUL_TARGET inline __m128i InitBits(uint32_t init) {
  if constexpr (kReflected) return _mm_set_epi64x(0, static_cast<long long>(init & 0xFFFFu));
  return _mm_set_epi64x(static_cast<long long>(uint64_t(init & 0xFFFFu) << 48), 0);
}

// Register value after X's 16 bytes and then the tail.
template <bool kReflected>
FLASHERY_CLMUL_TARGET inline uint32_t Finish(__m128i x, const uint8_t* tail, size_t tailBytes) {
  alignas(16) uint8_t bytes[16];
  if constexpr (kReflected) {
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), x);
    return HdlcUpdateTable(tail, tailBytes, HdlcUpdateTable(bytes, 16, 0));
  } else {
    _mm_store_si128(reinterpret_cast<__m128i*>(bytes), Reverse(x));
    return Crc16UpdateTable(tail, tailBytes, Crc16UpdateTable(bytes, 16, 0));
  }
}

// Folds 16-byte blocks from p into x until `blocks` are used up.
template <bool kReflected>
FLASHERY_CLMUL_TARGET inline __m128i FoldSingle(__m128i x, const uint8_t*& p, size_t blocks) {
  const __m128i k16 = Constants<kReflected>(Fold<kReflected>(16));
  for (size_t i = 0; i < blocks; ++i, p += 16) x = FoldStep(x, k16, Load<kReflected>(p));
  return x;
}

// Four 16-byte lanes; length >= 128.
template <bool kReflected>
FLASHERY_CLMUL_TARGET uint32_t FoldClmul(const uint8_t* data, size_t length, uint32_t init) {
  size_t tail = TailBytes<kReflected>(length);
  size_t blocks = (length - tail) / 16;
  const uint8_t* p = data;
  const __m128i initBits = InitBits<kReflected>(init);
  __m128i x;
  if (blocks >= 8) {
    const __m128i k64 = Constants<kReflected>(Fold<kReflected>(64));
    __m128i x0 = _mm_xor_si128(Load<kReflected>(p), initBits), x1 = Load<kReflected>(p + 16),
            x2 = Load<kReflected>(p + 32), x3 = Load<kReflected>(p + 48);
    p += 64;
    blocks -= 4;
    for (; blocks >= 4; blocks -= 4, p += 64) {
      x0 = FoldStep(x0, k64, Load<kReflected>(p));
      x1 = FoldStep(x1, k64, Load<kReflected>(p + 16));
      x2 = FoldStep(x2, k64, Load<kReflected>(p + 32));
      x3 = FoldStep(x3, k64, Load<kReflected>(p + 48));
    }
    const __m128i k16 = Constants<kReflected>(Fold<kReflected>(16));
    x = FoldStep(FoldStep(FoldStep(x0, k16, x1), k16, x2), k16, x3);
  } else {
    x = _mm_xor_si128(Load<kReflected>(p), initBits);
    p += 16;
    blocks -= 1;
  }
  x = FoldSingle<kReflected>(x, p, blocks);
  return Finish<kReflected>(x, p, tail);
}

template <bool kReflected>
FLASHERY_VCLMUL_TARGET inline __m256i Load2(const uint8_t* p) {
  __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  if constexpr (kReflected) return v;
  const __m256i mask = _mm256_set_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
                                       0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
  return _mm256_shuffle_epi8(v, mask);
}

FLASHERY_VCLMUL_TARGET inline __m256i FoldStep2(__m256i x, __m256i k, __m256i next) {
  __m256i hi = _mm256_clmulepi64_epi128(x, k, 0x11);
  __m256i lo = _mm256_clmulepi64_epi128(x, k, 0x00);
  return _mm256_xor_si256(_mm256_xor_si256(hi, lo), next);
}

template <bool kReflected>
FLASHERY_VCLMUL_TARGET inline __m256i Constants2(FoldConstants f) {
  auto a = static_cast<long long>(f.first), b = static_cast<long long>(f.second);
  return kReflected ? _mm256_set_epi64x(b, a, b, a) : _mm256_set_epi64x(a, b, a, b);
}

// Eight 16-byte lanes in 256-bit registers; length >= 512.
template <bool kReflected>
FLASHERY_VCLMUL_TARGET uint32_t FoldVClmul(const uint8_t* data, size_t length, uint32_t init) {
  size_t tail = TailBytes<kReflected>(length);
  size_t blocks = (length - tail) / 16;  // at least 31
  const uint8_t* p = data;
  // Register r holds lanes 2r and 2r+1 of every 128-byte stride.
  const __m256i initBits = _mm256_zextsi128_si256(InitBits<kReflected>(init));
  __m256i y0 = _mm256_xor_si256(Load2<kReflected>(p), initBits), y1 = Load2<kReflected>(p + 32),
          y2 = Load2<kReflected>(p + 64), y3 = Load2<kReflected>(p + 96);
  p += 128;
  blocks -= 8;
  const __m256i k128 = Constants2<kReflected>(Fold<kReflected>(128));
  for (; blocks >= 8; blocks -= 8, p += 128) {
    y0 = FoldStep2(y0, k128, Load2<kReflected>(p));
    y1 = FoldStep2(y1, k128, Load2<kReflected>(p + 32));
    y2 = FoldStep2(y2, k128, Load2<kReflected>(p + 64));
    y3 = FoldStep2(y3, k128, Load2<kReflected>(p + 96));
  }
  // Four registers into one (stride 32), then its two lanes into one.
  const __m256i k32 = Constants2<kReflected>(Fold<kReflected>(32));
  __m256i y = FoldStep2(FoldStep2(FoldStep2(y0, k32, y1), k32, y2), k32, y3);
  const __m128i k16 = Constants<kReflected>(Fold<kReflected>(16));
  __m128i x = FoldStep(_mm256_castsi256_si128(y), k16, _mm256_extracti128_si256(y, 1));
  x = FoldSingle<kReflected>(x, p, blocks);
  return Finish<kReflected>(x, p, tail);
}

#endif

}  // namespace

#if defined(__x86_64__) || defined(__i386__)

uint32_t Crc16UpdateClmul(const uint8_t* data, size_t length, uint32_t init) {
  if (length < 128) return Crc16UpdateSlice16(data, length, init);
  return FoldClmul<false>(data, length, init);
}

uint32_t Crc16UpdateVClmul(const uint8_t* data, size_t length, uint32_t init) {
  if (length < 512) return Crc16UpdateClmul(data, length, init);
  return FoldVClmul<false>(data, length, init);
}

uint16_t HdlcUpdateClmul(const uint8_t* data, size_t length, uint16_t state) {
  if (length < 128) return HdlcUpdateSlice16(data, length, state);
  return static_cast<uint16_t>(FoldClmul<true>(data, length, state));
}

uint16_t HdlcUpdateVClmul(const uint8_t* data, size_t length, uint16_t state) {
  if (length < 512) return HdlcUpdateClmul(data, length, state);
  return static_cast<uint16_t>(FoldVClmul<true>(data, length, state));
}

#else

uint32_t Crc16UpdateClmul(const uint8_t* data, size_t length, uint32_t init) {
  return Crc16UpdateSlice16(data, length, init);
}
uint32_t Crc16UpdateVClmul(const uint8_t* data, size_t length, uint32_t init) {
  return Crc16UpdateSlice16(data, length, init);
}
uint16_t HdlcUpdateClmul(const uint8_t* data, size_t length, uint16_t state) {
  return HdlcUpdateSlice16(data, length, state);
}
uint16_t HdlcUpdateVClmul(const uint8_t* data, size_t length, uint16_t state) {
  return HdlcUpdateSlice16(data, length, state);
}

#endif

}  // namespace flashery
