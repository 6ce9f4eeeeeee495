#include "engine/job_plan.h"

#include <cstdio>

namespace flashery {

bool FileSetsWanted(const JobInputs& in) {
  if (in.commandLineMode) return false;
  return in.gpsSelected || in.resourcesSelected || in.brandSelected;
}

bool IsT745(const JobInputs& in) {
  return in.systemSelected && in.productName.find("T745") != std::string::npos;
}

uint8_t FinishImagesFlag(const JobInputs& in) { return IsT745(in) || FileSetsWanted(in) ? 1 : 0; }

bool RestartGate(const JobInputs& in, bool ok) {
  return (FileSetsWanted(in) && ok) || in.commandLineMode || (ok && IsT745(in));
}

bool ContinuesAfterRestart(const JobInputs& in) { return FileSetsWanted(in) || IsT745(in); }

bool ProbeGate(const JobInputs& in, bool ok) { return FileSetsWanted(in) || (ok && IsT745(in)); }

std::vector<ImageStep> PlanImages(const JobInputs& in) {
  std::vector<ImageStep> steps;
  if (in.bootloaderSelected && in.mloPresent) steps.push_back({ImageKind::Xloader});
  if (in.bootloaderSelected && in.blPresent) steps.push_back({ImageKind::Bootloader});
  if (in.kernelSelected && in.nkPresent) steps.push_back({ImageKind::Kernel});
  if (in.systemSelected) {
    if (in.systemPresent)
      steps.push_back({IsT745(in) ? ImageKind::SystemPlain : ImageKind::SystemSegmented});
    if (in.userdataPresent) steps.push_back({ImageKind::Userdata});
    if (in.cachePresent) steps.push_back({ImageKind::Cache});
    if (in.recoveryPresent) steps.push_back({ImageKind::Recovery});
    for (int k = 0; k < kExtendSlots; ++k)
      if (in.extendPresent[static_cast<size_t>(k)]) steps.push_back({ImageKind::Extend, k});
    if (in.evnPresent) steps.push_back({ImageKind::Env});
  }
  return steps;
}

bool WritesAnything(const JobInputs& in) { return FileSetsWanted(in) || !PlanImages(in).empty(); }

ImageKind RepeatKind(ImageKind kind) {
  return kind == ImageKind::SystemSegmented ? ImageKind::SystemPlain : kind;
}

const char* ImageFailureBoxText(ImageKind kind) {
  switch (kind) {
    case ImageKind::Xloader: return "下载失败，Xloader文件传输出错!请检查设备连接!";
    case ImageKind::Bootloader: return "下载失败，bootloader文件传输出错!请检查设备连接!";
    case ImageKind::Kernel: return "下载失败，Kernel文件传输出错!请检查设备连接!";
    case ImageKind::SystemPlain:
    case ImageKind::SystemSegmented: return "下载失败，Systemdata文件传输出错!请检查设备连接!";
    case ImageKind::Userdata: return "下载失败，Userdata文件传输出错!请检查设备连接!";
    case ImageKind::Cache: return "下载失败，Cache.img文件传输出错!请检查设备连接!";
    case ImageKind::Recovery: return "下载失败，Recovery.img文件传输出错!请检查设备连接!";
    case ImageKind::Extend: return "下载失败，扩展分区文件传输出错!请检查设备连接!";
    case ImageKind::Env: return "下载失败，Env.txt文件传输出错!请检查设备连接!";
  }
  return "";
}

std::string FormatElapsed(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  int64_t s = seconds % 86400;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(s / 3600),
                static_cast<int>(s / 60 % 60), static_cast<int>(s % 60));
  return buf;
}

}  // namespace flashery
