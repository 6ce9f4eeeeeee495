#include "engine/image_profile.h"

#include <array>

#include "text/status.h"

namespace flashery {

namespace {

ImageProfile Row(ImageKind kind, const char* name, const char* begin, int label, uint8_t code,
                 ImageSection section, uint32_t milestone, const char* wait,
                 const char* openError, const char* progress, const char* abort, bool endRetry) {
  ImageProfile p{kind,  name,  begin, label, {},      code,     section,  -1,
                 milestone, wait, wait, openError, progress, abort, endRetry, false, 0};
  return p;
}

std::array<ImageProfile, 10> BuildTable() {
  std::array<ImageProfile, 10> t = {
      Row(ImageKind::Xloader, "Xloader", "Xloader download beginning。。。", 62, 1, ImageSection::MLO,
          3000, "%d s", "%d %s", " (%2.1f%%) ...", "%ld ", false),
      Row(ImageKind::Bootloader, "bootloader", "bootloader download beginning。。。", 63, 2,
          ImageSection::BL, 6000, "%d s\r\n", "%d %s", " (%2.1f%%) ...", "%ld", false),
      Row(ImageKind::Kernel, "Kernel", "Kernel download begining。。。", 65, 4, ImageSection::NK, 10000,
          "%d s", "%d %s", " (%2.1f%%) ...", "%ld ", false),
      Row(ImageKind::SystemPlain, "system.img", "system.img download begining。。。", 66, 5,
          ImageSection::System, 18000, "%d s", "%d %s", " (%2.1f%%) ...", "%ld ", true),
      Row(ImageKind::SystemSegmented, "system.img", "system.img download begining。。。", 66, 5,
          ImageSection::System, 18000, "%d s", "%d %s", " (%2.1f%%) ...", "%ld ", true),
      Row(ImageKind::Userdata, "userdata.img", "userdata.img download begining。。。", 67, 6,
          ImageSection::Userdata, 26000, "%d s\r\n", "%d %s", " (%2.1f%%) ...", "%ld ", true),
      Row(ImageKind::Cache, "Cache.img", "Cache.img download begining。。。", 68, 7, ImageSection::Cache,
          27000, "%d s", "%d, %s", " (%2.1f%%) ...", "%ld ", false),
      Row(ImageKind::Recovery, "recovery.img", "recovery.img download begining。。。", 69, 8,
          ImageSection::Recovery, 28000, "%d s", "%d %s", " (%2.1f%%)...", "%ld ", false),
      Row(ImageKind::Extend, "", "", -1, 0, ImageSection::Extend, 29500, "%d s", "%d ,%s",
          " (%2.1f%%) ...", "%ld ", false),
      Row(ImageKind::Env, "Env.txt", "Env.txt download beginning...", 64, 3, ImageSection::Evn, 32700,
          "%d s", "%d, %s", " (%2.1f%%) ...", "%ld ", false),
  };
  t[0].pathErrorLineEnd = true;
  t[4].segmentWaitFormat = "%d s\r\n";
  t[5].readyProgress = 25000;
  return t;
}

}  // namespace

const ImageProfile& ProfileFor(ImageKind kind) {
  static const std::array<ImageProfile, 10> table = BuildTable();
  return table[static_cast<size_t>(kind)];
}

ImageProfile ExtendProfile(int slot, const std::string& name, uint8_t fileCode) {
  ImageProfile p = ProfileFor(ImageKind::Extend);
  p.displayName = name;
  p.beginLogText = FormatString("%s download begining。。。", name.c_str());
  p.label = name + "download:";
  p.imageCode = fileCode;
  p.extendSlot = slot;
  return p;
}

}  // namespace flashery
