// PackageIdentity: which file a package was verified from — its device,
// inode, size and modification time (to the nanosecond), taken with fstat
// from the descriptor the verification read, before its first read.
//
// What a port writes must be what was verified. The identity is the cheap
// half of that promise: a port refuses to start, and an image refuses to
// begin, when the file at the package's path is no longer the verified one
// (replaced, rewritten, truncated, touched). A change that keeps all four
// (a rewrite within one timestamp tick) is left to the other half: the
// section check value computed over the very bytes read for sending.
//
// A package record without an identity (never verified) matches no file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace flashery {

struct PackageIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  uint64_t size = 0;
  int64_t mtimeSeconds = 0;
  int64_t mtimeNanoseconds = 0;

  bool operator==(const PackageIdentity&) const = default;
};

// The identity of the regular file open as `fd`; nullopt when fstat fails
// or it is no regular file.
std::optional<PackageIdentity> PackageIdentityOf(int fd);
// The identity of the regular file at `path` (stat, never opened, so a FIFO
// put there cannot block); nullopt likewise.
std::optional<PackageIdentity> PackageIdentityAt(const std::string& path);

// Whether `current` is the file `verified` was taken from: both known and
// equal.
inline bool SamePackageFile(const std::optional<PackageIdentity>& verified,
                            const std::optional<PackageIdentity>& current) {
  return verified && current && *verified == *current;
}

}  // namespace flashery
