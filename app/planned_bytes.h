// The image bytes a port job is going to write: the sizes of the sections
// it will send, in the order it sends them. The unattended mode's live
// table shows a port's percentage against this total.
#pragma once

#include <cstdint>

namespace flashery {

struct DownloadSelection;
struct QfmPackage;

// Whether a window start writes anything to a handset: the published
// package (null: none) has a selected image to write, or a ticked file set
// is ready (the brand set: its folder is known).
bool SelectionWritesSomething(const DownloadSelection& selection, const QfmPackage* package);

uint64_t PlannedImageBytes(const DownloadSelection& selection, const QfmPackage& package, bool commandLineMode);

}  // namespace flashery
