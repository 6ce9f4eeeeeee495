// VerifyPackage: reads every declared section back from the file and
// compares its check value with the header's, filling the QfmPackage as it
// goes.
//
// In order:
//  1. an invalid file gives false;
//  2. the first 824 bytes are read again (failure: message box text 105);
//     their Crc16Update from 0 must equal headerCheck, else false with no
//     message box of its own;
//  3. productName, packageSize, versionName and the info line are copied;
//  4. the sections are checked in the order BL, NK, MLO, userdata, system,
//     Evn, Extend 1.., cache, Recovery, each only when its present byte is
//     exactly 1. Extend slots are checked from slot 1 on for as long as the
//     present bytes are 1 (at most five); a slot after the first byte that
//     is not 1 is never checked. A section whose range lies outside the file
//     or cannot be read shows "读QFM(<key>)文件失败!", a wrong check value
//     "<key>... CRC校验错误!"; either stops the verification with false.
//     A section that passed has its offset, size, check and name (BL, NK,
//     system, Extend) copied, and an Extend slot its present flag (1);
//     A stop request (context.stop) ends it with false and no message box.
//  5. only when all passed are the present bytes of the eight fixed
//     sections copied into their present flags, as they stand in the header.
//
// Section values are the sum of Crc16Update over 96 MiB pieces (crc16.h),
// built as the bytes stream past, so no section is ever held in memory.
//
// The sections are read in one pass over the whole file, front to back,
// with the reading done ahead on a second thread (ordered_read.h), so that
// reading and checking overlap; every section's value is built from the
// pieces that cover it, and then the verdicts are given in the order of
// step 4. What is told is therefore the same as checking the sections one
// by one: the first section in check order that lies outside the file, was
// not read whole, or has a wrong check value. Sections the header does not
// ask for are read but never judged, and bytes are read once even where
// sections overlap. A stop request ends the pass between two pieces.
#pragma once

#include "package/package_context.h"
#include "package/package_file.h"
#include "package/qfm_header.h"
#include "package/qfm_package.h"

namespace flashery {

bool VerifyPackage(const PackageFile& file, const QfmHeader& header, QfmPackage& package,
                   const PackageContext& context);

}  // namespace flashery
