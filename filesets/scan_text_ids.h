// Text ids of the resource folder scan's messages (the texts themselves come
// from the language file's text table).
#pragma once

namespace flashery::scan_text {

// Package check.
inline constexpr int kNoSinglePackage = 8;   // no resource folder, or not exactly one *.QFM
// GPS set.
inline constexpr int kGpsRootEmpty = 10;
inline constexpr int kGpsPathTooLong = 11;
inline constexpr int kGpsFolderMissing = 12;
inline constexpr int kGpsListMissing = 13;
inline constexpr int kGpsPartsMissing = 14;  // followed by the missing folders
inline constexpr int kGpsListFailed = 15;
inline constexpr int kGpsListsDiffer = 16;
inline constexpr int kNoCdrom = 122;
inline constexpr int kNoBackup = 123;
inline constexpr int kAcceptWithoutOptional = 124;  // the OK/Cancel question
// Built-in resources (and the GPS backup part for 20..23).
inline constexpr int kResourcesRootEmpty = 17;
inline constexpr int kResourcesPathTooLong = 18;
inline constexpr int kResourcesFolderMissing = 19;  // followed by the path
inline constexpr int kResourcesListMissing = 20;
inline constexpr int kResourcesFoldersMissing = 21;  // followed by the missing folders
inline constexpr int kResourcesListFailed = 22;
inline constexpr int kResourcesListsDiffer = 23;
// Brand set.
inline constexpr int kBrandBaseEmpty = 24;
inline constexpr int kBrandPathTooLong = 25;
inline constexpr int kBrandFolderMissing = 26;  // followed by the path
inline constexpr int kBrandPartsMissing = 28;   // followed by " <presetapp>"

}  // namespace flashery::scan_text
