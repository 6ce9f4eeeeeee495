#include "sim/file_receiver.h"

#include <sys/stat.h>

#include <cerrno>

#include "package/crc16.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "sim/handset_names.h"
#include "text/status.h"

namespace flashery::sim {

namespace {

// A name's parent folder: the area always exists; deeper folders must have
// been created.
std::string CheckParent(const std::string& storage, const HandsetName& name) {
  if (name.components.size() < 2) return {};
  std::string parent = storage;
  for (size_t i = 0; i + 1 < name.components.size(); ++i) {
    parent = JoinPath(parent, name.components[i]);
    if (i == 0) {
      if (!MakeDirectories(parent)) return "the handset could not open its storage area";
    } else if (!IsDirectory(parent)) {
      return "its folder was not created";
    }
  }
  return {};
}

uint16_t NextSequence(uint16_t s) { return static_cast<uint16_t>(s % 9 + 1); }

}  // namespace

FileReceiver::FileReceiver(std::string handsetFolder) : folder_(std::move(handsetFolder)) {}

std::string FileReceiver::CreateFolder(std::string_view nameBytes, bool& created) {
  created = false;
  HandsetName name = ParseHandsetName(nameBytes);
  if (!name.ok()) return name.error;
  std::string storage = JoinPath(folder_, "storage");
  std::string error = CheckParent(storage, name);
  if (!error.empty()) return error;
  std::string path = JoinPath(storage, StorageRelativePath(name));
  if (IsDirectory(path)) return {};
  if (PathExists(path)) return "a file of that name exists";
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST)
    return "the handset could not create the folder";
  created = true;
  return {};
}

std::string FileReceiver::Begin(std::string_view nameBytes) {
  if (open_) {
    std::string open = name_;
    Drop();
    return "file " + Printable(open) + " is still open (dropped)";
  }
  HandsetName name = ParseHandsetName(nameBytes);
  if (!name.ok()) return name.error;
  if (name.components.size() < 2) return "a file needs a storage area and a name";
  std::string storage = JoinPath(folder_, "storage");
  std::string error = CheckParent(storage, name);
  if (!error.empty()) return error;
  std::string relative = StorageRelativePath(name);
  if (IsDirectory(JoinPath(storage, relative))) return "a folder of that name exists";
  if (!file_.Start(JoinPath(folder_, ".incoming/file.part")))
    return "the handset could not open the file";
  open_ = true;
  name_ = std::string(nameBytes);
  relativePath_ = "storage/" + relative;
  received_ = 0;
  check_ = 0;
  blocks_ = 0;
  lastSequence_ = 0;
  lastSeen_ = false;
  return {};
}

std::string FileReceiver::Block(const DecodedCommand& c, const uint8_t* data) {
  if (!open_) return "no file is open";
  if (lastSeen_) return "block after the file's last block";
  uint16_t expected = NextSequence(lastSequence_);
  if (c.sequence != expected) {
    if (lastSequence_ != 0 && c.sequence == lastSequence_)
      return FormatString("block sequence %u sent twice (expected %u)", c.sequence, expected);
    return FormatString("block sequence %u, expected %u", c.sequence, expected);
  }
  uint32_t n = c.length;
  if (c.flag == 0 && n != kMaxBlockBytes)
    return FormatString("block of %u bytes before the last; blocks hold 65,024 bytes", n);
  if (received_ + n > UINT32_MAX) return "file larger than 4 GiB";
  uint16_t value = BlockCheckValue(data, n);
  if (value != c.blockCheck)
    return FormatString("block %u check value 0x%04X, expected 0x%04X", blocks_ + 1, c.blockCheck,
                        value);
  if (!file_.Append(data, n)) return "the handset could not store the block";
  received_ += n;
  check_ = Crc16Update(data, n, check_);
  ++blocks_;
  lastSequence_ = c.sequence;
  lastSeen_ = c.flag == 1;
  return {};
}

std::string FileReceiver::End(uint32_t size, uint32_t check, FileRecord& record) {
  if (!open_) return "no file is open";
  std::string error;
  if (size != received_)
    error = FormatString("size %u, received %llu bytes", size,
                         static_cast<unsigned long long>(received_));
  else if (check != check_)
    error = FormatString("check register 0x%08X, received bytes give 0x%08X", check, check_);
  else if (received_ > 0 && !lastSeen_)
    error = "the file's last block was not marked";
  if (!error.empty()) {
    Drop();
    return error;
  }
  if (!file_.Commit(JoinPath(folder_, relativePath_))) {
    open_ = false;
    return "the handset could not store the file";
  }
  record = {};
  record.name = name_;
  record.path = relativePath_;
  record.size = size;
  record.check = check;
  record.blocks = blocks_;
  open_ = false;
  return {};
}

void FileReceiver::Drop() {
  file_.Discard();
  open_ = false;
}

}  // namespace flashery::sim
