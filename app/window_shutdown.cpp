#include "app/window_shutdown.h"

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

ShutdownResult RunWindowShutdownSteps(const std::string& appFolder, const DownloadSelection& sel) {
  ShutdownResult r;
  if (auto staging = ResolveNoCase(appFolder, "quillon"); staging && IsDirectory(*staging)) {
    RemoveTree(*staging);
    r.stagingRemoved = !PathExists(*staging);
  }
  r.settingsSaved = SaveSettings(appFolder, sel, &r.settingsProblem);
  return r;
}

std::string CloseWhileRunningQuestion(int languageId, int runningJobs) {
  std::string n = std::to_string(runningJobs);
  if (languageId == 2052)
    return "还有 " + n + " 个端口正在下载。现在退出会在下一条命令之后停止这些下载，手机上的固件将不完整。确定要退出吗？";
  if (languageId == 1028 || languageId == 3076)
    return "還有 " + n + " 個端口正在下載。現在退出會在下一條命令之後停止這些下載，手機上的韌體將不完整。確定要退出嗎？";
  return n + " port(s) are still downloading. Closing now stops them after their current command and leaves "
             "their handsets incompletely written. Close anyway?";
}

std::string CloseWhileRunningLogLine(int runningJobs) {
  return "Window closed by the operator while " + std::to_string(runningJobs) +
         " port job(s) ran; they stop at their next command boundary";
}

}  // namespace flashery
