#include "config/settings.h"

#include <optional>

#include "config/station_codepage.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace flashery {

void DownloadSelection::CopyFrom(const DownloadSelection& o) {
  currentLang = o.currentLang;
  phoneModel = o.phoneModel;
  bootloaderSelected = o.bootloaderSelected;
  kernelSelected = o.kernelSelected;
  systemSelected = o.systemSelected;
  gpsSelected = o.gpsSelected;
  resourcesSelected = o.resourcesSelected;
  quilmartSelected = o.quilmartSelected;
  brandSelected = o.brandSelected;
  extendNames = o.extendNames;
  extendCodes = o.extendCodes;
  packagePath = o.packagePath;
  resourceFolder = o.resourceFolder;
  gpsFolder = o.gpsFolder;
  resourcesFolder = o.resourcesFolder;
  brandFolder = o.brandFolder;
  formatMode = o.formatMode;
  resourcesFolderSize = o.resourcesFolderSize;
  gpsFolderSize = o.gpsFolderSize;
  brandFolderSize = o.brandFolderSize;
  packageReady = o.packageReady.load();
  resourcesReady = o.resourcesReady.load();
  gpsReady = o.gpsReady.load();
  packageJob = o.packageJob.load();
  resourcesJob = o.resourcesJob.load();
  gpsJob = o.gpsJob.load();
}

static std::string InFolder(const std::string& appFolder, const char* name) {
  if (auto p = ResolveNoCase(appFolder, name)) return *p;
  return JoinPath(appFolder, name);
}

std::string DownloadSettingsPath(const std::string& appFolder) { return InFolder(appFolder, "downtoolcfg.ini"); }
std::string ModelListPath(const std::string& appFolder) { return InFolder(appFolder, "Prtcfg.ini"); }

namespace {
struct FlagKey {
  const char* key;
  int32_t DownloadSelection::*field;
};
const FlagKey kFlags[] = {
    {"choseBootloader", &DownloadSelection::bootloaderSelected},
    {"choseKernel", &DownloadSelection::kernelSelected},
    {"choseSYS", &DownloadSelection::systemSelected},
    {"choseGPS", &DownloadSelection::gpsSelected},
    {"choseRes", &DownloadSelection::resourcesSelected},
    {"choseQuilmart", &DownloadSelection::quilmartSelected},
    {"choseQuiltone", &DownloadSelection::brandSelected},
};
struct PathKey {
  const char* key;
  std::string DownloadSelection::*field;
};
const PathKey kPaths[] = {
    {"QFMfile", &DownloadSelection::packagePath},   {"iNandfile", &DownloadSelection::resourceFolder},
    {"GPSfile", &DownloadSelection::gpsFolder},     {"Resfile", &DownloadSelection::resourcesFolder},
    {"quilfile", &DownloadSelection::brandFolder},
};
}  // namespace

namespace {

// The document of a settings file, or nullopt with `*problem` when the file
// exists but cannot be read whole. downtoolcfg.ini declares its own code
// page; Prtcfg.ini is in the one downtoolcfg.ini declares.
std::optional<ProfileDocument> LoadSettingsFile(const std::string& path, std::string* problem,
                                                std::optional<Codepage> codepage = std::nullopt) {
  ProfileDocument doc = codepage ? ProfileDocument::Load(path, *codepage) : ProfileDocument::Load(path);
  if (doc.failure().empty()) return doc;
  if (problem) *problem = path + ": " + doc.failure();
  return std::nullopt;
}

}  // namespace

bool LoadSettings(const std::string& appFolder, DownloadSelection& sel, std::string* problem) {
  std::optional<ProfileDocument> loaded = LoadSettingsFile(DownloadSettingsPath(appFolder), problem);
  const ProfileDocument doc = loaded ? std::move(*loaded) : ProfileDocument{};
  sel.currentLang = doc.GetInt("Language", "currentLang", 2052);
  sel.phoneModel = doc.GetString("Project", "phontype", "", 1023);
  for (const auto& f : kFlags) sel.*f.field = doc.GetInt("checkinfo", f.key, 0);
  for (int d = 1; d <= 7; ++d) {
    sel.extendNames[d - 1] = doc.GetString("ExdFile", "filename" + std::to_string(d), "", 1023);
    sel.extendCodes[d - 1] = static_cast<uint8_t>(doc.GetInt("ExdFile", "filecode" + std::to_string(d), 0) & 0xFF);
  }
  for (const auto& p : kPaths) sel.*p.field = doc.GetString("FilePath", p.key, "", 1023);
  return loaded.has_value();
}

bool SaveSettings(const std::string& appFolder, const DownloadSelection& sel, std::string* problem) {
  std::string path = DownloadSettingsPath(appFolder);
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Set("Language", "currentLang", std::to_string(sel.currentLang));
  doc.Set("Project", "phontype", sel.phoneModel);
  for (const auto& f : kFlags) doc.Set("checkinfo", f.key, std::to_string(sel.*f.field));
  for (int d = 1; d <= 7; ++d) {
    doc.Set("ExdFile", "filename" + std::to_string(d), sel.extendNames[d - 1]);
    doc.Set("ExdFile", "filecode" + std::to_string(d), std::to_string(sel.extendCodes[d - 1]));
  }
  for (const auto& p : kPaths) doc.Set("FilePath", p.key, sel.*p.field);
  return doc.Save(path, problem);
}

bool LoadModelList(const std::string& appFolder, std::vector<std::string>& models, std::string* problem) {
  models.clear();
  std::optional<ProfileDocument> doc = LoadSettingsFile(ModelListPath(appFolder), problem, StationCodepage(appFolder));
  if (!doc) return false;
  for (int n = 0;; ++n) {
    std::string v = doc->GetString("ProjectType", "Project" + std::to_string(n), "", 1023);
    if (v.empty()) break;
    models.push_back(std::move(v));
  }
  return true;
}

std::vector<std::string> LoadModelList(const std::string& appFolder) {
  std::vector<std::string> models;
  LoadModelList(appFolder, models, nullptr);
  return models;
}

int RemoveSettingsLeftovers(const std::string& appFolder) {
  return RemoveLeftoverTemporaries(DownloadSettingsPath(appFolder));
}

}  // namespace flashery
