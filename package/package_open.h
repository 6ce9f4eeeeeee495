// Opening a package: reading and checking its header, verifying it and
// filling the QfmPackage.
//
// OpenPackage(package, path, errorText, context):
//   an empty path gives false with no text; otherwise everything the
//   package record holds from an earlier package is forgotten first (the
//   extension table is kept), so no section, flag or code of a previous
//   package survives into this one. Then:
//     file cannot be opened (or is no regular file) -> errorText = text 72;
//     header short or bad magic (message box 105 / 106) -> text 105;
//     verification fails (its own message box, if any) -> text 104;
//   on success packagePath = path and fileIdentity = the file's identity,
//   taken from the open descriptor before the header is read. A file whose
//   identity is not the same after the verification (written to while it
//   was read) is refused with text 104: what was checked may be neither
//   the old nor the new package. On success sha256 is the whole file's
//   SHA-256, built on the verification's read (package_sha256.h; empty if a
//   read of a byte the verification skips failed). The file is closed
//   before returning.
//   After a failure packagePath is empty, while the header texts, the info
//   line and the sections checked so far stay as VerifyPackage wrote them.
//
// ReadPackageHeader(file, header, context): reads the 828 bytes at offset 0;
//   a failed or short read shows text 105, a wrong magic text 106; false in
//   both cases.
//
// Runs on the package check worker; the record is published to port jobs
// only after OpenPackage, staging and BindExtendSections have all succeeded.
#pragma once

#include <string>

#include "package/package_context.h"
#include "package/package_file.h"
#include "package/qfm_header.h"
#include "package/qfm_package.h"

namespace flashery {

bool ReadPackageHeader(const PackageFile& file, QfmHeader& header, const PackageContext& context);

bool OpenPackage(QfmPackage& package, const std::string& path, std::string& errorText,
                 const PackageContext& context);

}  // namespace flashery
