// The simple upper-case mapping of Unicode over the Basic Multilingual
// Plane, as runs: a code point c with first <= c <= last and (c - first) a
// multiple of stride maps to c + delta; every other code point maps to
// itself. The runs are sorted by first and do not overlap. The table is
// generated (scripts/upcase_table.py); the Unicode version is named in the
// generated source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashery {

struct UpcaseRun {
  char16_t first, last;
  uint8_t stride;  // 1 or 2
  int32_t delta;
};

extern const UpcaseRun kUpcaseRuns[];
extern const size_t kUpcaseRunCount;

}  // namespace flashery
