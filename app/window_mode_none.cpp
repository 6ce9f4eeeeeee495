// Window mode of a build without the Qt front end.
#include <cstdio>

#include "app/modes.h"

namespace flashery {

int RunWindowMode(int, char**, const StartupOptions&) {
  std::fprintf(stderr,
               "flashery: this build has no window front end; run 'flashery commandline' for the "
               "unattended mode\n");
  return 2;
}

}  // namespace flashery
