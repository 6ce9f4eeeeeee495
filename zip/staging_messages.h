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


// Archives the station refuses before anything of them is written, and
// files it will not move aside. Shown at once; "zip文件解析失败！" follows
// after the archive (the size scan's message after kEndRecordsDisagree).
// Two end records that describe different directories.
inline constexpr const char* kEndRecordsDisagree = "zip文件有两个互相矛盾的目录结束记录\r\n";
// Directory records that do not follow one another, or too many of them.
inline constexpr const char* kDirectoryDamaged = "zip文件目录记录不连续或过多\r\n";
// printf: the entry's name (control characters as \xNN). A name that
// leaves the folder, holds control characters, or names a symbolic link.
inline constexpr const char* kBadEntryName = "zip文件中的文件名不合法：%s\r\n";
// printf: the entry's name. Its local header disagrees with its record.
inline constexpr const char* kLocalHeaderMismatch = "zip文件中 %s 的本地文件头与目录记录不一致\r\n";
// printf: the entry's name. Its bytes are also another entry's, or the
// directory's.
inline constexpr const char* kEntriesOverlap = "zip文件中 %s 与其他条目共用数据\r\n";
// printf: the path. Named twice: as a file and a folder, as a file twice,
// or in spellings that differ only in case.
inline constexpr const char* kNameClash = "zip文件中 %s 出现了多次（同名的文件与文件夹，或仅大小写不同）\r\n";
// printf: the entry's first component. A file or folder the station keeps
// in its program folder (settings, language files, log, Upgrade_Backup,
// its programs).
inline constexpr const char* kStationFile = "zip文件不能写入程序自己的文件：%s\r\n";
// printf: the path that is in the way. Only a regular file is moved aside.
inline constexpr const char* kNotAFileToMove = "%s 不是普通文件，不能移到 Upgrade_Backup\r\n";
// printf: the Upgrade_Backup path. It is a symbolic link: nothing is moved.
inline constexpr const char* kBackupIsLink = "%s 是符号链接，不能把文件移到那里\r\n";

}  // namespace flashery::staging_text
