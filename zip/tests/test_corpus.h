// Test helper: deterministic sample data of the kinds an application
// archive holds (text, random binary, structured binary, long runs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace flashery::test {

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v(n);
  uint32_t x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b = static_cast<uint8_t>(x >> 11);
  }
  return v;
}

inline std::vector<uint8_t> TextBytes(size_t n, uint32_t seed) {
  static const char* words[] = {"handset ", "firmware ", "package ", "station ", "download ", "port ",
                                "system ",  "image ",    "\r\n",       "应用 ",     "quillon ", "presetapp "};
  std::vector<uint8_t> v;
  uint32_t x = seed + 7;
  while (v.size() < n) {
    x = x * 1103515245u + 12345u;
    std::string w = words[(x >> 16) % 12];
    v.insert(v.end(), w.begin(), w.end());
  }
  v.resize(n);
  return v;
}

// Structured binary: little-endian records with small counters, a table
// of offsets and runs of zeros, roughly like the dex and resource parts
// of an application package.
inline std::vector<uint8_t> StructuredBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v;
  uint32_t i = seed;
  while (v.size() < n) {
    uint32_t rec[4] = {i, i * 16, 0x7F000000u + (i % 97), 0};
    for (uint32_t w : rec)
      for (int k = 0; k < 4; ++k) v.push_back(static_cast<uint8_t>(w >> (8 * k)));
    if (i % 61 == 0) v.insert(v.end(), 300, 0);
    ++i;
  }
  v.resize(n);
  return v;
}

// An archive-like mix: text, already-compressed (random) data, structure.
inline std::vector<uint8_t> MixedBytes(size_t n, uint32_t seed) {
  std::vector<uint8_t> v;
  size_t part = n / 6 + 1;
  for (int k = 0; v.size() < n; ++k) {
    std::vector<uint8_t> p = (k % 3 == 0)   ? TextBytes(part, seed + k)
                             : (k % 3 == 1) ? RandomBytes(part, seed + k)
                                            : StructuredBytes(part, seed + k);
    v.insert(v.end(), p.begin(), p.end());
  }
  v.resize(n);
  return v;
}

}  // namespace flashery::test
