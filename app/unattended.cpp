#include <cstdio>

#include "app/application.h"
#include "app/modes.h"
#include "platform/clock.h"
#include "text/prompter.h"

namespace flashery {

int RunUnattended(const StartupOptions& options) {
  SystemClock clock;
  ConsolePrompter prompter;
  Application app(clock, prompter);
  if (int rc = app.BeginStartup(options); rc != kExitOk) return rc;
  app.FinishStartup(UserDefaultLangId());
  prompter.SetLog(&app.log);
  std::fprintf(stderr, "flashery: the unattended download is not part of this build yet\n");
  return kExitCannotStart;
}

}  // namespace flashery
