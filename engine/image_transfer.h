// The image transfer procedures: TransferImage writes one image of the
// package to the handset — wait until the handset is ready, BeginImage,
// the image bytes in blocks of 65,024 bytes each carrying its
// BlockCheckValue, EndImage — reporting every step on the port's status
// line and in the log. A refused block is read again from the package and
// sent again, at most 3 times. TransferImageInSegments is the system image
// committed in segments of 17,301,504 bytes, each followed by its length,
// its check register (Crc16Update over the segment) and a wait of up to
// 1,200 polls while the handset checks it.
//
// The image bytes are read from the package file the QfmPackage was
// opened from (its packagePath) at the offsets of that same record, so the
// offsets and the file always belong together. Each call opens its own
// read-only handle and closes it on every path; up to eight ports read the
// same package at once.
#pragma once

#include "engine/image_profile.h"

namespace flashery {

class PortDevice;
struct QfmPackage;

// One image as `profile` describes it; the segmented procedure when the
// profile is ImageKind::SystemSegmented.
bool TransferImage(PortDevice& dev, const QfmPackage& package, const ImageProfile& profile);
bool TransferImageInSegments(PortDevice& dev, const QfmPackage& package);

// The procedure of a planned image step (Extend: slot 0..4 with the
// section's own name and bound code).
bool RunImageProcedure(PortDevice& dev, const QfmPackage& package, ImageKind kind, int extendSlot);

}  // namespace flashery
