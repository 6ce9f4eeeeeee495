// Chooses the Crc16Update routine once per process: the fastest the CPU
// supports, or the one FLASHERY_CRC16_PATH names. The choice is an atomic so
// port jobs may compute check values while a test forces another routine.
#include "package/crc16_dispatch.h"

#include <atomic>
#include <cstdlib>

#include "package/crc16.h"
#include "package/crc16_routines.h"

namespace flashery {
namespace {

using Routine = uint32_t (*)(const uint8_t*, size_t, uint32_t);

Routine RoutineOf(Crc16Path path) {
  switch (path) {
    case Crc16Path::Table: return &Crc16UpdateTable;
    case Crc16Path::Slice16: return &Crc16UpdateSlice16;
    case Crc16Path::Clmul: return &Crc16UpdateClmul;
    case Crc16Path::VClmul: return &Crc16UpdateVClmul;
  }
  return &Crc16UpdateSlice16;
}

using HdlcRoutine = uint16_t (*)(const uint8_t*, size_t, uint16_t);

HdlcRoutine HdlcRoutineOf(Crc16Path path) {
  switch (path) {
    case Crc16Path::Table: return &HdlcUpdateTable;
    case Crc16Path::Slice16: return &HdlcUpdateSlice16;
    case Crc16Path::Clmul: return &HdlcUpdateClmul;
    case Crc16Path::VClmul: return &HdlcUpdateVClmul;
  }
  return &HdlcUpdateSlice16;
}

Crc16Path InitialPath() {
  if (const char* env = std::getenv("FLASHERY_CRC16_PATH")) {
    auto named = ParseCrc16Path(env);
    if (named && Crc16PathSupported(*named)) return *named;
  }
  return SupportedCrc16Paths().back();
}

std::atomic<int>& ActiveSlot() {
  static std::atomic<int> slot{static_cast<int>(InitialPath())};
  return slot;
}

}  // namespace

const char* Crc16PathName(Crc16Path path) {
  switch (path) {
    case Crc16Path::Table: return "table";
    case Crc16Path::Slice16: return "slice16";
    case Crc16Path::Clmul: return "clmul";
    case Crc16Path::VClmul: return "vclmul";
  }
  return "?";
}

std::optional<Crc16Path> ParseCrc16Path(std::string_view name) {
  for (Crc16Path p : {Crc16Path::Table, Crc16Path::Slice16, Crc16Path::Clmul, Crc16Path::VClmul}) {
    if (name == Crc16PathName(p)) return p;
  }
  return std::nullopt;
}

bool Crc16PathSupported(Crc16Path path) {
  switch (path) {
    case Crc16Path::Table:
    case Crc16Path::Slice16:
      return true;
#if defined(__x86_64__) || defined(__i386__)
    case Crc16Path::Clmul:
      return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("ssse3") &&
             __builtin_cpu_supports("sse4.1");
    case Crc16Path::VClmul:
      return Crc16PathSupported(Crc16Path::Clmul) && __builtin_cpu_supports("avx2") &&
             __builtin_cpu_supports("vpclmulqdq");
#else
    case Crc16Path::Clmul:
    case Crc16Path::VClmul:
      return false;
#endif
  }
  return false;
}

std::vector<Crc16Path> SupportedCrc16Paths() {
  std::vector<Crc16Path> paths;
  for (Crc16Path p : {Crc16Path::Table, Crc16Path::Slice16, Crc16Path::Clmul, Crc16Path::VClmul}) {
    if (Crc16PathSupported(p)) paths.push_back(p);
  }
  return paths;
}

uint32_t Crc16UpdateOn(Crc16Path path, const uint8_t* data, size_t length, uint32_t init) {
  if (!Crc16PathSupported(path)) path = Crc16Path::Slice16;
  return RoutineOf(path)(data, length, init);
}

uint16_t HdlcUpdateOn(Crc16Path path, const uint8_t* data, size_t length, uint16_t state) {
  if (!Crc16PathSupported(path)) path = Crc16Path::Slice16;
  return HdlcRoutineOf(path)(data, length, state);
}

Crc16Path ActiveCrc16Path() { return static_cast<Crc16Path>(ActiveSlot().load(std::memory_order_relaxed)); }

bool ForceCrc16Path(Crc16Path path) {
  if (!Crc16PathSupported(path)) return false;
  ActiveSlot().store(static_cast<int>(path), std::memory_order_relaxed);
  return true;
}

uint32_t Crc16Update(const uint8_t* data, size_t length, uint32_t init) {
  if (length == 0) return init;
  return RoutineOf(ActiveCrc16Path())(data, length, init);
}

}  // namespace flashery
