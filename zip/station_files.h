// What the station itself keeps in its program folder, which staging
// unpacks archives into: an archive may never write there. Names are
// compared without regard to case, as the layout's names are (the
// settings code finds "downtoolcfg.ini" in any spelling).
//
// Reserved as the first component of an entry's path:
//   - the settings files downtoolcfg.ini and Prtcfg.ini;
//   - language files, *.lng;
//   - the folder "log" of the run logs and the folder "Upgrade_Backup" of
//     files moved aside while staging;
//   - the station's programs (flashery, flashery-pack, flashery-sim,
//     flashery-usb-handset: the program folder defaults to their folder),
//     the name of the single-instance lock ("Flashery") among them.
// The staging folder "quillon" is where archives are meant to go, so it
// is not reserved as a folder; but spelled in another case it would be a
// second staging tree that the station neither checks nor deletes, and as
// a file it would stand where the staging folder belongs: both are refused.
#pragma once

#include <string_view>

namespace flashery {

inline constexpr const char* kStagingFolderName = "quillon";

// firstComponent: the first component of an entry's path; isFileItself:
// the entry is a file with no folder above it.
bool IsStationFileName(std::string_view firstComponent, bool isFileItself);

}  // namespace flashery
