// Paths and folder listings as the original platform's file system gives
// them. Internal paths are native POSIX paths. Names of the resource layout
// ("QUILMAP", "GPS", "*.QFM", "Thumbs.db", "downtoolcfg.ini") are matched
// without regard to case. Listings come in that file system's order: names
// compared case-insensitively and ordinally, as NTFS does it - each name in
// UTF-16 code units, every unit replaced by its simple upper-case mapping
// of Unicode (Latin, Greek with final sigma, Cyrillic, the Roman numerals
// U+2170.., full-width letters and the rest of the BMP; a letter without a
// simple upper case such as U+00DF stays), then compared unit by unit. A
// character above U+FFFF is two surrogate units and, like NTFS's upcase
// table, is neither upcased nor moved: it orders by its surrogates, so it
// sorts between U+D7FF and U+E000. No locale takes part.
//
// Names on disk are bytes. A name that is valid UTF-8 is taken as UTF-8;
// any other name was written in the station's legacy code page (a folder
// copied from the original platform) and is decoded from it before it is
// compared, so it orders among the UTF-8 names as the same name would on
// NTFS. A name valid in neither is read leniently as UTF-8 (U+FFFD for
// what is bad). Names that compare equal keep a fixed order by their bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

std::string JoinPath(std::string_view a, std::string_view b);
std::string DirName(std::string_view path);   // "" for a bare name
std::string BaseName(std::string_view path);

// UTF-8 to UTF-16 code units; invalid bytes become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view s);
// The simple upper-case mapping of one UTF-16 code unit (surrogates and
// unmapped units stay).
char16_t UpcaseUnit(char16_t c);
// A name as the original file system compares it: decoded (UTF-8, else
// `legacy`), in UTF-16 code units, each upcased.
std::u16string NameKey(std::string_view name, Codepage legacy = Codepage::Gbk);
// <0, 0, >0 as the original file system orders the two names.
int CompareNamesNoCase(std::string_view a, std::string_view b, Codepage legacy = Codepage::Gbk);
bool EqualsNoCase(std::string_view a, std::string_view b, Codepage legacy = Codepage::Gbk);

// Wildcards of the original platform: '*' any run, '?' one character,
// compared without regard to case.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

struct DirEntry {
  std::string name;
  bool isDir = false;
  bool isLink = false;  // a symbolic link (isDir/size describe its target)
  uint64_t size = 0;
};

// Entries of `dir` without "." and "..", in the original order; names not
// in UTF-8 are ordered as `legacy` decodes them. An unreadable folder gives
// an empty list and ok=false.
std::vector<DirEntry> ListFolder(const std::string& dir, bool* ok = nullptr, Codepage legacy = Codepage::Gbk);

// The entry of `dir` named `name` without regard to case (an exact match
// wins); the full path, or nullopt.
std::optional<std::string> ResolveNoCase(const std::string& dir, std::string_view name);
// Resolves every component of `relative` ('/' or '\' separated) under base.
std::optional<std::string> ResolvePathNoCase(const std::string& base, std::string_view relative);

}  // namespace flashery
