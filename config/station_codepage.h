// The station's legacy code page: the code page in which the original
// platform's tools wrote package header texts, list files and the names of
// archives made without the UTF-8 flag. It is the setting codePage in section
// [Station] of downtoolcfg.ini (the section for every setting the station
// adds): 936 (GBK, the default), 950 (Big5) or 1252 (cp1252). A missing file
// or key, an empty value or any other number gives the default.
// downtoolcfg.ini is itself in this code page unless it begins with a UTF-8
// byte order mark; the setting is found in the file's ASCII bytes before the
// file is decoded (platform/profile.h). Prtcfg.ini is in the same code page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/codepage.h"

namespace flashery {

// The setting as read from the program folder's downtoolcfg.ini.
Codepage StationCodepage(const std::string& appFolder);

}  // namespace flashery
