// Code pages of list files. A list is in the station's legacy code page (a
// setting, GBK by default) unless it declares UTF-8 by a byte order mark -
// whether or not its bytes also happen to be valid UTF-8: lists made on the
// original platform are 8-bit text in its system code page, and GBK names
// such as 系统 (CF B5 CD B3) are valid UTF-8 too. A current list is written
// in the encoding of the reference list it will be compared with (with the
// mark when that is UTF-8), so an unchanged folder gives a byte-identical
// list. A list that is not valid in its encoding is never half-read.
//
// Lengths that the station limits (a set folder's path, a list line) are
// counted as the original counts them: bytes in the system code page.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

// The encoding of a list file's bytes: UTF-8 when they begin with the
// UTF-8 byte order mark, else the system code page.
Codepage DetectListCodepage(std::string_view bytes, Codepage system);

// A list file's text as UTF-8 (the mark dropped); nullopt when the bytes are
// not valid in the encoding DetectListCodepage gives.
std::optional<std::string> DecodeListText(std::string_view bytes, Codepage system);

// A UTF-8 name as bytes of `cp`; nullopt when it is not valid UTF-8 or holds
// a character `cp` cannot hold - never a '?' in its place.
std::optional<std::string> EncodeForList(std::string_view name, Codepage cp);

// The length in bytes of `text` in the system code page (a character it
// cannot hold counts as one byte).
size_t SystemLength(std::string_view text, Codepage system);

// A list file's bytes as UTF-8 lines the way the original's line reader
// gives them: text mode (CR LF read as LF), then records of at most
// maxBytes bytes in the system code page, the line feed included, so a
// longer line comes as several records. A record is never cut inside a
// character. Line feeds are dropped from the records. A file that is not
// valid in its encoding gives one record holding a zero byte, which no list
// line equals, so it is never taken to match (ExamineList refuses such a
// reference list before).
std::vector<std::string> ReadListRecords(std::string_view bytes, Codepage system, size_t maxBytes = 259);

}  // namespace flashery
