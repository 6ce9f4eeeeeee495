// The decisions of a port job that depend only on what was selected and on
// the package: which images are written in which order, whether file sets
// follow, whether the package is for the T745 model, the flag of
// FinishImages, the gates of the restart and of the first probe, and the
// message box a failed image raises in the unattended mode. Pure functions,
// so the job's shape can be checked from tables.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/image_profile.h"

namespace flashery {

constexpr int kExtendSlots = 5;

// What a job reads from the selection, the package and the mode.
struct JobInputs {
  bool bootloaderSelected = false;
  bool kernelSelected = false;
  bool systemSelected = false;
  bool gpsSelected = false;
  bool resourcesSelected = false;
  bool brandSelected = false;
  int formatMode = 0;
  bool commandLineMode = false;
  std::string productName;
  // Present flags of the package's sections (a present byte of 1).
  bool mloPresent = false, blPresent = false, nkPresent = false, systemPresent = false;
  bool userdataPresent = false, cachePresent = false, recoveryPresent = false, evnPresent = false;
  std::array<bool, kExtendSlots> extendPresent{};
};

// File sets follow the images: one of them is selected, never in the
// unattended mode.
bool FileSetsWanted(const JobInputs& in);
// The package is for the T745 (its product name contains "T745", case
// sensitive) and the system image is selected.
bool IsT745(const JobInputs& in);
// FinishImages carries 1 when more work follows: always for the T745,
// otherwise when file sets follow.
uint8_t FinishImagesFlag(const JobInputs& in);
// The first restart runs with file sets (when all went well), always in the
// unattended mode, and for the T745 (when all went well).
bool RestartGate(const JobInputs& in, bool ok);
// The restart sequence goes on past the restart itself.
bool ContinuesAfterRestart(const JobInputs& in);
// The first probe: always with file sets, for the T745 only when all went
// well.
bool ProbeGate(const JobInputs& in, bool ok);

struct ImageStep {
  ImageKind kind;
  int extendSlot = -1;  // 0..4 for Extend
};

// The images to write, in order: X-loader, bootloader, kernel, system (plain
// for the T745, else segmented), userdata, cache, recovery, every present
// Extend slot in slot order, Env.txt.
std::vector<ImageStep> PlanImages(const JobInputs& in);

// The job writes something to its handset: an image is planned or file
// sets follow.
bool WritesAnything(const JobInputs& in);

// The image procedure used for the single repetition after a failure: the
// system image is repeated with the plain procedure.
ImageKind RepeatKind(ImageKind kind);

// The unattended mode's message box of a failed image.
const char* ImageFailureBoxText(ImageKind kind);

// Elapsed whole seconds as "%H:%M:%S" (hours 00 to 23).
std::string FormatElapsed(int64_t seconds);

}  // namespace flashery
