// The list writer: appends the listing of a folder, recursively, to a list
// file. Entries come in the original file system's order (ListFolder); a
// folder is announced by a header line "FILE: <name>" and followed by its
// entries; later entries of the enclosing folder follow without a new
// header. Files are listed as "<name>;<size>byte;0x<check>" (eight lower-case
// hexadecimal digits of FileCheckValue) or "<name>;<size>byte", the size as
// a signed 32-bit decimal number. Lines end in CR LF (text mode) and names
// are written in the list's code page with '\' between path components; a
// UTF-8 list begins with the UTF-8 byte order mark (written when the list
// file is still empty), which is how a list declares UTF-8.
//
// Names on this disk are UTF-8; one that is not valid UTF-8 is read in the
// list's code page (a tool of the original platform wrote it). A listed
// name the list cannot hold - a character its code page has no mapping for,
// a '\' (which would pose as a path separator), CR, LF, TAB or another
// control character (a line break would forge an entry) - is never written
// as '?': the listing fails and says which name it refused, since two
// different files would otherwise give the same list line.
//
// Naming: plain naming uses an entry's own name; relative naming its path
// below the anchor. The path is the station's name of the entry - the listed
// folder's logical name (for example "\GPS\QUILMAP") plus the names found on
// the disk - so neither the root folder's own path nor the case in which a
// literal folder is stored on this disk can change a name. An entry whose
// relative name comes out empty (the anchor is not in its path) is not
// written, but a folder is still descended into.
//
// Choices where the station on the original platform had no need:
// - symbolic links to folders are not followed (a link can form a loop),
//   links to files are listed as the files they point to;
// - entries that are neither folders nor regular files (devices, pipes,
//   sockets) are not listed: reading one could block;
// - a folder that cannot be read, or a list file that cannot be written,
//   fails the listing instead of giving a list that silently lacks entries.
#pragma once

#include <string>

#include "filesets/list_filter.h"
#include "platform/codepage.h"

namespace flashery {

struct ListNaming {
  bool relative = false;
  std::string anchor;         // e.g. kGpsAnchor
  std::string logicalFolder;  // '\'-separated; empty: the folder path with '/' as '\'
};

struct ListOptions {
  bool withCheck = false;
  ListFilter filter;
  ListNaming naming;
  Codepage codepage = Codepage::Gbk;  // encoding of the names in the list
};

// A name the listing refused: its station path (the logical folder and the
// name) and why, in English.
struct ListRefusal {
  std::string name;
  std::string reason;
};

// Appends the listing of `folder` to `listPath` (the caller empties the list
// first). False for an empty folder or list path, an unreadable folder, a
// listing nested deeper than kMaxListDepth, a refused name (then *refused,
// when given, names it; otherwise it stays empty) or a failed write.
bool WriteList(const std::string& folder, const std::string& listPath, const ListOptions& options,
               ListRefusal* refused = nullptr);

inline constexpr int kMaxListDepth = 64;

// The list lines of one file entry and of one folder header, without the
// line end.
std::string FileListLine(const std::string& name, uint64_t size, bool withCheck, uint32_t check);
std::string FolderHeaderLine(const std::string& name);

// The relative name of `logicalPath`: the text after the first occurrence of
// `anchor`, or "" when the anchor does not occur.
std::string RelativeEntryName(const std::string& logicalPath, const std::string& anchor);

// A POSIX path in the station's form: every '/' as '\'.
std::string ToStationPath(const std::string& path);

}  // namespace flashery
