// Code pages. Every string inside the station is UTF-8. Files made on the
// original platform may be in a legacy code page: GBK (Simplified Chinese),
// Big5 (Traditional Chinese) or cp1252 (English).
// The station's legacy code page is a setting (config/station_codepage.h).
// An encoding is decided once per source, never by trying each string: a zip
// entry name by its UTF-8 flag, a package header or a list file by a UTF-8
// byte order mark (else the code page), a settings or language file as a
// whole by a byte order mark (else the code page it declares: profile.h).
// Writers of a file that must match an existing one encode in that file's
// code page. Conversion is done with iconv and is strict: a byte sequence
// that is not valid in the code page fails instead of being replaced
// silently, and a character the code page cannot hold is never written as
// '?'.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashery {

enum class Codepage { Utf8, Gbk, Big5, Cp1252 };

// iconv's name of a code page ("UTF-8", "GBK", "BIG5", "CP1252").
const char* CodepageName(Codepage cp);

bool IsValidUtf8(std::string_view bytes);
// Bytes shown to an operator when they cannot be decoded: printable ASCII
// as it is, every other byte as \xHH.
std::string EscapedBytes(std::string_view bytes);
bool IsAscii(std::string_view bytes);

// Converts between code pages; nullopt when the input is not valid in
// `from` or cannot be represented in `to`.
std::optional<std::string> ConvertCodepage(std::string_view bytes, Codepage from, Codepage to);

// Bytes whose encoding is known, as UTF-8; nullopt when they are not valid
// in `cp`. Never guesses and never replaces a byte.
std::optional<std::string> DecodeStrict(std::string_view bytes, Codepage cp);

// Whether the bytes begin with the UTF-8 byte order mark EF BB BF.
bool HasUtf8Bom(std::string_view bytes);
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether every character of the UTF-8 text has a mapping in `cp`.
bool CodepageHolds(std::string_view utf8, Codepage cp);

// Why a name (UTF-8) cannot stand as one entry of a list file in `cp`:
// a character the code page cannot hold, a '\' (the list's path separator),
// CR, LF, TAB or another control character; nullptr when it can.
const char* ListNameFault(std::string_view utf8Name, Codepage cp);

// A name found on this disk as UTF-8. The file system's names are UTF-8; a
// name that is not valid UTF-8 was written in the legacy code page by a tool
// of the original platform and is decoded strictly from `cp`. nullopt when
// it is valid in neither.
std::optional<std::string> DiskNameToUtf8(std::string_view name, Codepage cp);

// The text of a whole settings or language file, whose encoding has been
// decided for the file (profile.h): UTF-8 is checked as it stands; GBK and
// Big5 are decoded strictly; cp1252 by a table that takes every byte, as the
// original platform reads such a file (the five bytes cp1252 leaves undefined
// become the C1 controls of their value, so nothing is lost). nullopt when
// the bytes are not valid in `cp`. Linear in the size. A byte order mark is
// the caller's to remove.
std::optional<std::string> DecodeWholeText(std::string_view bytes, Codepage cp);

// UTF-8 text to `cp`; nullopt when a character has no mapping there.
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, Codepage cp);

// The code page of a Windows code page number the station supports (936,
// 950, 1252); nullopt for any other number.
inline constexpr int32_t kDefaultCodepageNumber = 936;
std::optional<Codepage> CodepageOfNumber(int32_t number);

// The legacy code page of a Windows language id: 2052/4100 GBK, 1028/3076/
// 5124 Big5, everything else cp1252.
Codepage CodepageForLangId(unsigned langId);

}  // namespace flashery
