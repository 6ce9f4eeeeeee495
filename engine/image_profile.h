// ImageProfile: the constant parameters that make one image transfer
// procedure out of the common skeleton (TransferImage). One row per
// procedure: which package section supplies the bytes, the image code sent
// in BeginImage and EndImage, the texts and formats of its messages, the
// progress milestone stored when the image is written, and whether a
// failed EndImage is sent once more.
//
// The Extend procedures share one row: their display name, begin text and
// label are built from the Extend section's own name, their image code is
// the code bound to the section (ExtendProfile fills them in).
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

// The package sections an image procedure can read.
enum class ImageSection : uint8_t { MLO, BL, NK, System, Userdata, Cache, Recovery, Extend, Evn };

enum class ImageKind : uint8_t {
  Xloader,
  Bootloader,
  Kernel,
  SystemPlain,
  SystemSegmented,
  Userdata,
  Cache,
  Recovery,
  Extend,
  Env,
};

struct ImageProfile {
  ImageKind kind;
  std::string displayName;
  std::string beginLogText;
  // Text id of the label heading most messages; -1 when `label` holds the
  // label itself (Extend sections).
  int labelTextId;
  std::string label;
  uint8_t imageCode;
  ImageSection section;
  int extendSlot;  // 0..4 for Extend, else -1
  uint32_t milestone;
  const char* waitFormat;         // counter while waiting before the image
  const char* segmentWaitFormat;  // counter while a segment is checked
  const char* openErrorFormat;    // error code, package path
  const char* progressFormat;     // percentage (double)
  const char* abortFormat;        // bytes accepted (long)
  bool endRetry;
  bool pathErrorLineEnd;  // the bad-path log line carries its own "\r\n"
  // Progress position stored when the handset reports readiness before the
  // image (0: none).
  uint32_t readyProgress;
};

// The fixed row of `kind`. For ImageKind::Extend it returns the shared row
// with empty name fields; use ExtendProfile instead.
const ImageProfile& ProfileFor(ImageKind kind);

// The row of Extend slot `slot` (0..4) named `name` with the bound code.
ImageProfile ExtendProfile(int slot, const std::string& name, uint8_t fileCode);

// Image codes as the handset knows them.
constexpr uint8_t kImageCodeSystem = 5;

}  // namespace flashery
