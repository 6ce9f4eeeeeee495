// The station's own messages of application staging (literal texts of the
// program, not text ids), shown in message boxes.
#pragma once

namespace flashery::staging_text {

// printf: the system error code.
inline constexpr const char* kPackageOpenFailed = "QFM 打开失败 %d";
inline constexpr const char* kHeaderFailed = "获取QFM文件信息失败\r";
inline constexpr const char* kSizeScanFailed = "获取 APP 安装包 大小失败\r\n";
inline constexpr const char* kArchiveFailed = "zip文件解析失败！";
// printf: the system error code, the folder.
inline constexpr const char* kCreateFolderFailed = "%d Create %s failed\r\n";
// printf: the archive's total, the unpacked total (both %ld).
inline constexpr const char* kSizeMismatch =
    "解包 QFM 失败：\r\nQFM中quillon数据为 %ld 字节，\r\n实际解包数据为 %ld 字节，\r\n请 重新尝试 解包 QFM ！";

}  // namespace flashery::staging_text
