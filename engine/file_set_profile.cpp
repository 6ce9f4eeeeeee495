#include "engine/file_set_profile.h"

namespace flashery {

const FileSetProfile& FileSetProfileFor(FileSetKind kind) {
  static const FileSetProfile table[] = {
      {FileSetKind::Resources, 80, "//udisk//", "Resource file dowload begining。。。", true, 2, 0, 10000},
      {FileSetKind::Gps, 81, "//gpsdata//", "Gps file dowload begining。。。", true, 5, 0, 32500},
      {FileSetKind::Brand, 82, "//quillon//", "quillon files download begining。。。", false, 4, 3, 6000},
  };
  return table[static_cast<int>(kind)];
}

}  // namespace flashery
