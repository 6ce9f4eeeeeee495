// Entry names of an archive, turned into the folder components an entry is
// written under.
//
// The encoding is decided by the archive alone (CentralRecord::NameIsUtf8):
// the stored bytes are UTF-8 when flags bit 11 is set or the archive was
// made on a Unix host, else they are in the station's legacy code page (a
// setting, GBK by default) - whether or not they also happen to be valid
// UTF-8 - unless an Info-ZIP Unicode Path field gives the name in UTF-8. They are decoded before any separator is looked at, so a GBK trail
// byte 0x5C is never taken for a backslash. A name that is not valid in its
// encoding, or holds a character the station's code page cannot hold (the
// name could then not stand in a list file), is refused. "/" and "\" both
// separate components; a trailing separator marks a folder.
//
// A name may never leave the folder it is unpacked into: absolute names,
// drive letters, ".." components, components longer than a file name may
// be and names longer than 1,024 bytes are refused (the whole archive is
// then refused). So are names with control characters (0x00-0x1F, 0x7F):
// no listing shows them faithfully, and in the legacy code pages they can
// only stand for themselves, never be part of a character. "." and empty
// components are dropped.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"

namespace flashery {

inline constexpr size_t kMaxNameComponentBytes = 255;
inline constexpr size_t kMaxEntryNameBytes = 1024;

struct EntryName {
  std::vector<std::string> components;  // folders, then the entry's own name
  bool isDirectory = false;
};

// nullopt for a name that is refused; *why (optional) then says why.
std::optional<EntryName> ParseEntryName(std::string_view raw, bool utf8Flag, Codepage legacy = Codepage::Gbk,
                                        std::string* why = nullptr);

}  // namespace flashery
