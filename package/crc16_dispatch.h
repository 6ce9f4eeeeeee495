// The routines behind Crc16Update and how one is chosen.
//
// All routines give the same 32-bit value bit for bit. The 32-bit register
// of Crc16Update is fixed by the 16-bit CRC states at the last three byte
// positions, so a fast routine may compute the 16-bit CRC of the bulk any
// way it likes and finish the last bytes (at least two) with the table:
//   Table    one table, one byte per step (the reference);
//   Slice16  sixteen tables, sixteen bytes per step (any x86-64 or other CPU);
//   Clmul    carry-less-multiply folding of four 16-byte lanes (PCLMULQDQ);
//   VClmul   the same over eight lanes in 256-bit registers (AVX2 with
//            VPCLMULQDQ).
// Each routine has a twin for the reflected CRC of the WriteBlock check
// (HdlcUpdateTable in crc16.h), and HdlcCheckBits uses the twin of the
// routine Crc16Update uses. The fastest supported routine is chosen on first use, unless the
// environment variable FLASHERY_CRC16_PATH names one ("table", "slice16",
// "clmul", "vclmul"); an unsupported or unknown name is ignored.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace flashery {

enum class Crc16Path { Table, Slice16, Clmul, VClmul };

const char* Crc16PathName(Crc16Path path);
std::optional<Crc16Path> ParseCrc16Path(std::string_view name);

// Whether this CPU can run the routine (Table and Slice16 always can).
bool Crc16PathSupported(Crc16Path path);
// Every supported routine, slowest first.
std::vector<Crc16Path> SupportedCrc16Paths();

// Runs one routine directly; an unsupported one runs Slice16 instead.
uint32_t Crc16UpdateOn(Crc16Path path, const uint8_t* data, size_t length, uint32_t init);

// Runs the reflected twin of one routine (HdlcUpdateTable's value); an
// unsupported one runs Slice16 instead.
uint16_t HdlcUpdateOn(Crc16Path path, const uint8_t* data, size_t length, uint16_t state);

// The routine Crc16Update uses now.
Crc16Path ActiveCrc16Path();
// Makes Crc16Update use `path`; false (and no change) when unsupported.
bool ForceCrc16Path(Crc16Path path);

}  // namespace flashery
