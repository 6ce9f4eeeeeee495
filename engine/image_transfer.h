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
//
// What is sent is what was verified: a handle whose file is no longer the
// one verified (package_identity.h) ends the image before BeginImage, and
// the section's check value is computed over exactly the bytes the handset
// accepted and compared with the verified one before EndImage (segmented:
// before the last segment is committed). Either failure reports the label
// and the station text "package changed"; the image is then never ended,
// so the handset does not take it. The check rides on the blocks already
// read: the package is not read a second time.
#pragma once

#include "engine/image_profile.h"

namespace flashery {

class PortDevice;
struct QfmPackage;

// One image as `profile` describes it; the segmented procedure when the
// profile is ImageKind::SystemSegmented. `packageChanged`, when given, is
// set when the image failed because the package file is no longer what was
// verified (repeating it cannot help).
bool TransferImage(PortDevice& dev, const QfmPackage& package, const ImageProfile& profile,
                   bool* packageChanged = nullptr);
bool TransferImageInSegments(PortDevice& dev, const QfmPackage& package);

// The procedure of a planned image step (Extend: slot 0..4 with the
// section's own name and bound code).
bool RunImageProcedure(PortDevice& dev, const QfmPackage& package, ImageKind kind, int extendSlot,
                       bool* packageChanged = nullptr);

}  // namespace flashery
