// A file being received: written to a private temporary name and moved to
// its final place only when the transfer is committed, so the handset's
// images/ and storage/ folders never hold half an image or half a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace flashery::sim {

class PartialFile {
 public:
  PartialFile() = default;
  ~PartialFile();
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  // Starts a new file at tempPath (truncated). Discards any earlier one.
  bool Start(const std::string& tempPath);
  bool Append(const uint8_t* data, size_t n);
  // Closes the file and renames it to finalPath (replacing what was there).
  bool Commit(const std::string& finalPath);
  // Closes and removes the temporary file.
  void Discard();
  bool active() const { return fd_ >= 0; }
  uint64_t written() const { return written_; }

 private:
  int fd_ = -1;
  std::string tempPath_;
  uint64_t written_ = 0;
};

}  // namespace flashery::sim
