// The station's legacy code page: the code page in which the original
// platform's tools wrote package header texts, list files and the names of
// archives made without the UTF-8 flag. It is the setting codePage in section
// [Station] of downtoolcfg.ini (the section for every setting the station
// adds): 936 (GBK, the default), 950 (Big5) or 1252 (cp1252). A missing file
// or key, an empty value or any other number gives the default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/codepage.h"

namespace flashery {

inline constexpr int32_t kDefaultCodepageNumber = 936;

// The code page of a Windows code page number; nullopt for a number the
// station does not support.
std::optional<Codepage> CodepageOfNumber(int32_t number);

// The setting as read from the program folder's downtoolcfg.ini.
Codepage StationCodepage(const std::string& appFolder);

}  // namespace flashery
