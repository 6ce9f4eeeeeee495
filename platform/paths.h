// Paths and folder listings as the original platform's file system gives
// them. Internal paths are native POSIX paths. Names of the resource layout
// ("QUILMAP", "GPS", "*.QFM", "Thumbs.db", "downtoolcfg.ini") are matched
// without regard to case. Listings come in that file system's order: names
// compared case-insensitively, ordinal over UTF-16 code units after
// upcasing (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic and
// full-width letters are upcased; other characters compare as they are).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace flashery {

std::string JoinPath(std::string_view a, std::string_view b);
std::string DirName(std::string_view path);   // "" for a bare name
std::string BaseName(std::string_view path);

// UTF-8 to UTF-16 code units; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
char16_t UpcaseUnit(char16_t c);
// <0, 0, >0 as the original file system orders the two names.
int CompareNamesNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);

// Wildcards of the original platform: '*' any run, '?' one character,
// compared without regard to case.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

struct DirEntry {
  std::string name;
  bool isDir = false;
  bool isLink = false;  // a symbolic link (isDir/size describe its target)
  uint64_t size = 0;
};

// Entries of `dir` without "." and "..", in the original order. An
// unreadable folder gives an empty list and ok=false.
std::vector<DirEntry> ListFolder(const std::string& dir, bool* ok = nullptr);

// The entry of `dir` named `name` without regard to case (an exact match
// wins); the full path, or nullopt.
std::optional<std::string> ResolveNoCase(const std::string& dir, std::string_view name);
// Resolves every component of `relative` ('/' or '\' separated) under base.
std::optional<std::string> ResolvePathNoCase(const std::string& base, std::string_view relative);

}  // namespace flashery
