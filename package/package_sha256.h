// PackageSha256: the SHA-256 of a whole package file, built from the pieces
// the verification reads anyway, so the file is not read a second time.
//
// It sees the pieces through PackageReadObserver with their offsets and
// hashes every byte of the file once, in file order:
//  - a piece that starts where the hash stands is hashed from the
//    verification's buffer;
//  - a piece further on first has the bytes between read here (the few
//    bytes the verification skips: the header's tail, gaps between
//    sections);
//  - the part of a piece that lies before where the hash stands (a section
//    stored before one checked earlier, overlapping sections) is already in
//    the hash and is skipped;
//  - Finish reads what lies after the last piece, to the file's end.
// For packages whose sections lie in check order, as the release tool
// writes them, the only bytes read here are the gaps. A read that fails
// leaves no value: Finish gives nullopt, never a value of part of the file.
// The hashing itself runs on a thread of its own that the object owns,
// overlapping the verification's reads and checks (package_sha256.cpp);
// the object is used from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "package/crc16.h"
#include "package/package_file.h"

namespace flashery {

class PackageSha256 final : public PackageReadObserver {
 public:
  explicit PackageSha256(const PackageFile& file);
  ~PackageSha256() override;
  PackageSha256(const PackageSha256&) = delete;
  PackageSha256& operator=(const PackageSha256&) = delete;

  void OnRead(uint64_t offset, const uint8_t* data, size_t n) override;
  // 64 lower-case hex digits of the whole file, or nullopt after a failed
  // read. Call once, after the verification.
  std::optional<std::string> Finish();

 private:
  bool HashFileRange(uint64_t end);  // reads and hashes [next_, end)

  const PackageFile& file_;
  struct State;
  std::unique_ptr<State> state_;
  uint64_t next_ = 0;  // every byte before this offset is in the hash
  bool failed_ = false;
};

// Lower-case hex SHA-256 of a byte string (tests and short texts).
std::string Sha256Hex(const void* data, size_t n);

}  // namespace flashery
