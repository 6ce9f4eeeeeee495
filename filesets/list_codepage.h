// Code pages of list files. Lists made on the original platform are 8-bit
// text in its system code page (GBK on a Simplified Chinese station); lists
// written by other tools may be UTF-8. A current list is written in the
// encoding of the reference list it will be compared with, so that an
// unchanged folder gives a byte-identical list.
//
// Lengths that the station limits (a set folder's path, a list line) are
// counted as the original counts them: bytes in the system code page.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

// The encoding of a list file's bytes: UTF-8 when they are valid UTF-8 and
// not plain ASCII; the system code page otherwise (plain ASCII, or bytes
// that are not UTF-8 - the legacy lists).
Codepage DetectListCodepage(std::string_view bytes, Codepage system);

// A name (normally UTF-8; a file system name may also be raw legacy bytes)
// as bytes of `cp`. A character `cp` cannot represent becomes '?', as the
// original platform's 8-bit file functions give it; bytes that are neither
// valid UTF-8 nor valid in `cp` become '?' as well, so the result is always
// valid text in `cp`.
std::string EncodeForList(std::string_view name, Codepage cp);

// The length in bytes of `text` in the system code page.
size_t SystemLength(std::string_view text, Codepage system);

// A list file's bytes as UTF-8 lines the way the original's line reader
// gives them: text mode (CR LF read as LF), then records of at most
// maxBytes bytes in the system code page, the line feed included, so a
// longer line comes as several records. A record is never cut inside a
// character. Line feeds are dropped from the records.
std::vector<std::string> ReadListRecords(std::string_view bytes, Codepage system, size_t maxBytes = 259);

}  // namespace flashery
