// The storage stage's file store: folders and files that the file sets put
// into the handset's storage, below storage/ in the handset's folder.
//
// CreateFolder makes one folder whose parent must exist (the storage area,
// the first name component, always exists); making a folder that is there
// already is accepted. BeginFile opens a file whose folder must exist; its
// blocks follow with sequence numbers 1, 2, ... 9, 1, ... (a block refused
// and sent again keeps its number, so a number equal to the last accepted
// one is a block sent twice and is refused). Every block before the last
// holds 65,024 bytes and carries its BlockCheckValue. EndFile commits the
// file only when its size and its check register (Crc16Update over the
// file's bytes, from 0) equal what was received; otherwise the file is
// dropped. After EndFile, accepted or not, no file is open. A BeginFile
// while a file is still open is refused and drops the open file, so the
// station's next attempt starts clean.
//
// Each call returns an empty string when accepted, otherwise the reason.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "sim/partial_file.h"
#include "sim/vendor_command.h"

namespace flashery::sim {

struct FileRecord {
  std::string name;  // the handset name as sent
  std::string path;  // relative to the handset's folder
  uint32_t size = 0;
  uint32_t check = 0;  // the EndFile check register
  uint32_t blocks = 0;
};

class FileReceiver {
 public:
  explicit FileReceiver(std::string handsetFolder);

  // On success `created` tells whether the folder is new.
  std::string CreateFolder(std::string_view name, bool& created);
  std::string Begin(std::string_view name);
  std::string Block(const DecodedCommand& command, const uint8_t* data);
  std::string End(uint32_t size, uint32_t check, FileRecord& record);
  void Drop();

  bool open() const { return open_; }
  const std::string& openName() const { return name_; }
  uint32_t nextBlockIndex() const { return blocks_ + 1; }

 private:
  std::string folder_;
  PartialFile file_;
  bool open_ = false;
  std::string name_;
  std::string relativePath_;
  uint64_t received_ = 0;
  uint32_t check_ = 0;
  uint32_t blocks_ = 0;
  uint16_t lastSequence_ = 0;  // 0 before the first block
  bool lastSeen_ = false;
};

}  // namespace flashery::sim
