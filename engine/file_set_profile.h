// FileSetProfile: the constant parameters of the three file sets a port
// job can copy into the handset's storage — the built-in resources, the GPS
// data and the brand files: the label that heads their messages, the root
// of their handset names, the text written when the copy begins, how the
// handset's storage is prepared for them when the whole storage was not
// prepared at once (formatMode 0), and the progress milestone stored when
// the set is complete.
#pragma once

#include <cstdint>

namespace flashery {

enum class FileSetKind : uint8_t { Resources, Gps, Brand };

struct FileSetProfile {
  FileSetKind kind;
  int labelTextId;
  const char* handsetRoot;
  const char* beginLogText;
  bool beginOnStatusLine;
  // Storage preparation with formatMode 0: PrepareStorageArea(firstMode);
  // when secondMode is not 0, a 200 ms pause and PrepareStorageArea(secondMode).
  int firstMode;
  int secondMode;
  uint32_t milestone;
};

const FileSetProfile& FileSetProfileFor(FileSetKind kind);

}  // namespace flashery
