#include "app/planned_bytes.h"

#include "config/settings.h"
#include "engine/image_profile.h"
#include "engine/job_plan.h"
#include "engine/port_job.h"
#include "package/qfm_package.h"

namespace flashery {

static QfmSectionKey KeyOf(const ImageStep& step) {
  switch (ProfileFor(step.kind).section) {
    case ImageSection::MLO: return QfmSectionKey::MLO;
    case ImageSection::BL: return QfmSectionKey::BL;
    case ImageSection::NK: return QfmSectionKey::NK;
    case ImageSection::System: return QfmSectionKey::System;
    case ImageSection::Userdata: return QfmSectionKey::Userdata;
    case ImageSection::Cache: return QfmSectionKey::Cache;
    case ImageSection::Recovery: return QfmSectionKey::Recovery;
    case ImageSection::Extend: return ExtendKey(step.extendSlot + 1);
    case ImageSection::Evn: return QfmSectionKey::Evn;
  }
  return QfmSectionKey::Evn;
}

bool SelectionWritesSomething(const DownloadSelection& sel, const QfmPackage* package) {
  if (package && sel.packageReady.load() && !PlanImages(MakeJobInputs(&sel, package, false)).empty()) return true;
  return (sel.resourcesSelected && sel.resourcesReady.load()) || (sel.gpsSelected && sel.gpsReady.load()) ||
         (sel.brandSelected && !sel.brandFolder.empty());
}

uint64_t PlannedImageBytes(const DownloadSelection& selection, const QfmPackage& package, bool commandLineMode) {
  uint64_t total = 0;
  for (const auto& step : PlanImages(MakeJobInputs(&selection, &package, commandLineMode)))
    total += package.section(KeyOf(step)).size;
  return total;
}

}  // namespace flashery
