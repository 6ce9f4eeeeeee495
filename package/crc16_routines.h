// The individual routines of crc16_dispatch.h (package-internal). Each
// Crc16Update* takes what Crc16Update takes and returns the same value;
// each HdlcUpdate* takes and returns what HdlcUpdateTable does.
#pragma once

#include <cstddef>
#include <cstdint>

namespace flashery {

uint32_t Crc16UpdateSlice16(const uint8_t* data, size_t length, uint32_t init);
// Need a CPU with PCLMULQDQ and SSSE3 / with AVX2 and VPCLMULQDQ.
uint32_t Crc16UpdateClmul(const uint8_t* data, size_t length, uint32_t init);
uint32_t Crc16UpdateVClmul(const uint8_t* data, size_t length, uint32_t init);

uint16_t HdlcUpdateSlice16(const uint8_t* data, size_t length, uint16_t state);
uint16_t HdlcUpdateClmul(const uint8_t* data, size_t length, uint16_t state);
uint16_t HdlcUpdateVClmul(const uint8_t* data, size_t length, uint16_t state);

}  // namespace flashery
