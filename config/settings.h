// Settings: the DownloadSelection kept in downtoolcfg.ini and the model
// list of Prtcfg.ini, both in the program folder.
//
// downtoolcfg.ini keys (section / key):
//   Language/currentLang, Project/phontype, checkinfo/choseBootloader,
//   checkinfo/choseKernel (any case reads it, "choseKernel" is written),
//   checkinfo/choseSYS, choseGPS, choseRes, choseQuilmart, choseQuiltone,
//   ExdFile/filename1..7 and filecode1..7 (held as their low 8 bits),
//   FilePath/QFMfile, iNandfile, GPSfile, Resfile, quilfile.
// Prtcfg.ini: ProjectType/Project0, Project1, ... up to the first empty.
//
// downtoolcfg.ini is UTF-8 when it begins with a byte order mark, otherwise
// in the code page its codePage setting names (config/station_codepage.h,
// platform/profile.h); Prtcfg.ini likewise, in the code page downtoolcfg.ini
// names. A missing file, section or key gives the default (currentLang 2052,
// every other number 0, every string empty). A file that exists but cannot
// be read whole (larger than 1 MiB, unreadable, not a regular file, not
// text, not valid in its encoding) is a problem the caller must stop on: the loaders say why, naming
// the file, and such a file is never written over (Save refuses it).
// Saving writes the same keys in the same order and keeps every other byte
// of the file; it goes through a temporary beside the file (a symbolic link
// is written through to its target), and RemoveSettingsLeftovers removes a
// temporary that a write cut short left behind.
//
// The readiness flags and worker states are not persisted. They are
// written by configuration workers and read by other threads, so they are
// atomics.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace flashery {

enum class JobState : int { Idle = 0, Running = 1, Succeeded = 2, Failed = 3 };

struct DownloadSelection {
  int32_t currentLang = 2052;
  std::string phoneModel;
  int32_t bootloaderSelected = 0;
  int32_t kernelSelected = 0;
  int32_t systemSelected = 0;
  int32_t gpsSelected = 0;
  int32_t resourcesSelected = 0;
  int32_t quilmartSelected = 0;
  int32_t brandSelected = 0;
  std::array<std::string, 7> extendNames;  // filename1..7
  std::array<uint8_t, 7> extendCodes{};    // filecode1..7
  std::string packagePath;
  std::string resourceFolder;
  std::string gpsFolder;
  std::string resourcesFolder;
  std::string brandFolder;
  int32_t formatMode = 0;
  uint32_t resourcesFolderSize = 0, gpsFolderSize = 0, brandFolderSize = 0;

  // The persisted part, copyable as a whole (snapshots for port jobs).
  DownloadSelection() = default;
  DownloadSelection(const DownloadSelection& o) { CopyFrom(o); }
  DownloadSelection& operator=(const DownloadSelection& o) {
    if (this != &o) CopyFrom(o);
    return *this;
  }

  std::atomic<int> packageReady{0};
  std::atomic<int> resourcesReady{0};
  std::atomic<int> gpsReady{0};
  std::atomic<int> packageJob{0};
  std::atomic<int> resourcesJob{0};
  std::atomic<int> gpsJob{0};

 private:
  void CopyFrom(const DownloadSelection& o);
};

std::string DownloadSettingsPath(const std::string& appFolder);  // downtoolcfg.ini
std::string ModelListPath(const std::string& appFolder);         // Prtcfg.ini

// False, with `*problem` ("<file>: <why>"), when downtoolcfg.ini exists but
// cannot be read whole; `sel` then holds the defaults.
bool LoadSettings(const std::string& appFolder, DownloadSelection& sel, std::string* problem = nullptr);
// False, with `*problem` naming the file, when the file could not be
// written (or was not read whole); the file is then as it was.
bool SaveSettings(const std::string& appFolder, const DownloadSelection& sel, std::string* problem = nullptr);
// False, with `*problem`, when Prtcfg.ini exists but cannot be read whole.
bool LoadModelList(const std::string& appFolder, std::vector<std::string>& models, std::string* problem);
// The model list, empty when Prtcfg.ini is missing or cannot be read.
std::vector<std::string> LoadModelList(const std::string& appFolder);
// Start-up, once the single instance is held: removes the temporaries of
// downtoolcfg.ini that a write cut short left; returns how many.
int RemoveSettingsLeftovers(const std::string& appFolder);

}  // namespace flashery
