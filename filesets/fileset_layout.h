// The layout of a resource folder and the names of its list files, as the
// station and the tools that prepare a folder both spell them. Literal names
// are matched on the disk without regard to case.
//
//   root/*.QFM                     the firmware package (exactly one)
//   root/内置资源/                  built-in resources: resfile_pc.txt and the
//                                  five media folders
//   root/GPS/QUILMAP/quilfile_pc.txt, root/GPS/quilmap/{archives,bin,
//                                  configdat,navidat}
//   root/GPS/cdrom, root/GPS/udisk_bak   optional parts; udisk_bak is laid
//                                  out like the built-in resources
//   appFolder/quillon/presetapp    the brand set unpacked from the package
#pragma once

#include <array>
#include <cstddef>

namespace flashery {

inline constexpr const char* kResourcesFolderName = "内置资源";
inline constexpr const char* kGpsFolderName = "GPS";
inline constexpr const char* kQuilmapFolderName = "QUILMAP";
inline constexpr const char* kCdromFolderName = "cdrom";
inline constexpr const char* kBackupFolderName = "udisk_bak";
inline constexpr const char* kBrandFolderName = "quillon";
inline constexpr const char* kPresetAppFolderName = "presetapp";

inline constexpr const char* kResourcesReferenceList = "resfile_pc.txt";
inline constexpr const char* kResourcesCurrentList = "resfile_cur.txt";
inline constexpr const char* kGpsReferenceList = "quilfile_pc.txt";
inline constexpr const char* kGpsCurrentList = "quilfile_cur.txt";

// Anchors of relative naming: an entry's name is its path after the anchor.
inline constexpr const char* kGpsAnchor = "\\GPS\\";
inline constexpr const char* kResourcesAnchor = "\\内置资源\\";
inline constexpr const char* kBackupAnchor = "\\udisk_bak\\";

// Text whose presence in a reference list selects relative naming.
inline constexpr const char* kResourcesMarker = "图片收藏";
inline constexpr const char* kGpsMarker = "quilmap\\";

// The media folders of a resources-layout set, in the order they are tested.
inline constexpr std::array<const char*, 5> kMediaFolders = {"我的下载", "我的音乐", "我的影片", "图片收藏",
                                                             "我的铃声"};
// The map folders of the GPS set below quilmap, in the order they are tested.
inline constexpr std::array<const char*, 4> kMapFolders = {"archives", "bin", "configdat", "navidat"};

// A set folder's full path may have at most this many bytes in the system
// code page.
inline constexpr size_t kMaxSetFolderBytes = 150;

}  // namespace flashery
