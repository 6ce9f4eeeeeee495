// Code pages. Every string inside the station is UTF-8. Files made on the
// original platform may be in a legacy code page: GBK (Simplified Chinese),
// Big5 (Traditional Chinese) or cp1252 (English). Readers take valid UTF-8
// as it is and otherwise decode the legacy code page; writers of a file that
// must match an existing one encode in that file's code page. Conversion is
// done with iconv and is strict: a byte sequence that is not valid in the
// code page fails instead of being replaced silently.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace flashery {

enum class Codepage { Utf8, Gbk, Big5, Cp1252 };

// iconv's name of a code page ("UTF-8", "GBK", "BIG5", "CP1252").
const char* CodepageName(Codepage cp);

bool IsValidUtf8(std::string_view bytes);
bool IsAscii(std::string_view bytes);

// Converts between code pages; nullopt when the input is not valid in
// `from` or cannot be represented in `to`.
std::optional<std::string> ConvertCodepage(std::string_view bytes, Codepage from, Codepage to);

// Text read from a file: a UTF-8 byte order mark is dropped; valid UTF-8 is
// returned unchanged; otherwise the bytes are decoded from `legacy` and, if
// they are not valid there either, from cp1252, which takes every byte
// (the five it leaves undefined become the C1 controls of their value).
// `detected` (optional) receives the code page used. Linear in the size:
// one validity pass, at most one conversion, and cp1252 by a table.
std::string DecodeToUtf8(std::string_view bytes, Codepage legacy = Codepage::Gbk,
                         Codepage* detected = nullptr);

// UTF-8 text to `cp`; nullopt when a character has no mapping there.
std::optional<std::string> EncodeFromUtf8(std::string_view utf8, Codepage cp);

// The legacy code page of a Windows language id: 2052/4100 GBK, 1028/3076/
// 5124 Big5, everything else cp1252.
Codepage CodepageForLangId(unsigned langId);

}  // namespace flashery
