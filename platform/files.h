// Small file helpers over POSIX. All return values, never throw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashery {

std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxBytes = 1ull << 30);
// Writes to a temporary file beside `path`, syncs it and renames it into
// place, so a crash never leaves half a file.
bool WriteFileAtomic(const std::string& path, std::string_view bytes);
// Creates or truncates `path` and writes `bytes`.
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Appends `bytes` with one write call on an O_APPEND descriptor.
bool AppendToFile(const std::string& path, std::string_view bytes);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
std::optional<uint64_t> FileSize(const std::string& path);
// mkdir -p; true when the folder exists afterwards.
bool MakeDirectories(const std::string& path);
// Removes a file or a whole tree (symbolic links are removed, never followed).
bool RemoveTree(const std::string& path);

}  // namespace flashery
