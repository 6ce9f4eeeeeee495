// Names in the handset's storage and where the simulated handset keeps them.
//
// A handset name is UTF-8 text with "//" between components and in front
// of the first one, e.g. "//udisk//ring//a.mp3"; the first component is the
// storage area ("udisk", "gpsdata", "quillon"). It maps to the path
// storage/udisk/ring/a.mp3 below the handset's folder.
//
// Names come from the station and are hostile until checked: at most 259
// bytes, valid UTF-8 without control characters, no empty component (so no
// "///"), no "." or ".." component, no single '/' or '\' inside a
// component, and each component at most 255 bytes. Anything else is
// refused with a reason, so a name can never reach outside storage/.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace flashery::sim {

struct HandsetName {
  std::vector<std::string> components;  // area first
  std::string error;                    // non-empty: refused, and why
  bool ok() const { return error.empty(); }
};

HandsetName ParseHandsetName(std::string_view name);

// storage-relative path "udisk/ring/a.mp3" of a parsed name.
std::string StorageRelativePath(const HandsetName& name);

// Text fit for a report: printable ASCII and valid UTF-8 pass, every other
// byte becomes \xNN.
std::string Printable(std::string_view bytes);

// Length of the valid UTF-8 sequence at text[i], 0 when invalid (overlong
// forms, surrogates and code points above U+10FFFF are invalid).
size_t Utf8SequenceLength(std::string_view text, size_t i);

}  // namespace flashery::sim
