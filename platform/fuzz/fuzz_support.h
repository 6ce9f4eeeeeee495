// What the fuzz targets share: a check that stops the run (libFuzzer keeps
// the input), and a scratch folder of the process's own, in memory where the
// machine has /dev/shm, removed when the process ends.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace flashery::fuzz {

inline void Require(bool ok) {
  if (!ok) std::abort();
}

// The scratch folder; `tag` names it (e.g. "inifuzz") for whoever finds it.
inline const std::string& ScratchFolder(const char* tag) {
  static const std::string folder = [tag] {
    std::string pattern = std::string(::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/" + tag + ".XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  static const bool cleanup = (std::atexit([] { RemoveTree(folder); }), true);
  (void)cleanup;
  return folder;
}

}  // namespace flashery::fuzz
