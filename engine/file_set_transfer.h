// File-set transfer: copies a folder tree of the station into the
// handset's storage. Every folder is created on the handset and every file
// is opened with BeginFile, sent in blocks of 65,024 bytes (each with its
// BlockCheckValue and a sequence number 1..9) and committed with EndFile
// carrying its size and its check register (Crc16Update over the whole
// file). A refused block is sent again, up to 23 sends; a file that fails
// is sent again from its creation, up to 5 attempts. The sets' reference
// lists (handset_name.h) are never sent. Folders are listed in the
// original platform's order (ListFolder).
//
// A file attempt succeeds only when the file was created, all its bytes
// were sent and the handset accepted EndFile. The commit is sent after
// every attempt, so the handset always closes the file; but a file that
// could not be read locally is never taken as copied just because the
// handset accepted an empty file for it.
//
// A set folder that does not exist (or is not a folder) copies nothing and
// succeeds; one that exists but cannot be listed fails the set.
#pragma once

#include <string>

#include "engine/file_set_profile.h"
#include "platform/codepage.h"

namespace flashery {

class PortDevice;

// The whole set: its storage preparation when formatMode is 0, the walk,
// its milestone and final message.
bool TransferFileSet(PortDevice& dev, FileSetKind kind, const std::string& folder, int formatMode,
                     Codepage codepage = Codepage::Gbk);

// Copies the tree of `folder` (inside the set folder `setFolder`) under
// the handset root `root`.
bool CopyFolderToHandset(PortDevice& dev, const std::string& setFolder, const std::string& folder,
                         const std::string& root, Codepage codepage = Codepage::Gbk);

bool CreateHandsetFolder(PortDevice& dev, const std::string& setFolder, const std::string& localPath,
                         const std::string& root, Codepage codepage = Codepage::Gbk);
bool CreateHandsetFile(PortDevice& dev, const std::string& setFolder, const std::string& localPath,
                       const std::string& root, Codepage codepage = Codepage::Gbk);
// Sends the file's bytes; sets dev.fileSize and accumulates dev.fileCheck.
bool SendFileContent(PortDevice& dev, const std::string& localPath);
// EndFile with dev.fileSize and dev.fileCheck (both 0 afterwards).
bool CommitHandsetFile(PortDevice& dev);

}  // namespace flashery
