// Small file helpers over POSIX. All return values, never throw.
//
// Reading: every file the station reads from outside (settings, the model
// list, language files, the package, list files, the files of a set) is
// opened through OpenRegularFile. A named pipe, a socket, a device or a
// folder in a file's place is refused at once, naming what it is, and no
// open or read ever waits on one: the path is examined first (a device is
// never opened), the open itself is non-blocking (a pipe without a writer
// cannot hold it), fstat on the open descriptor decides, and only then is
// O_NONBLOCK cleared for the ordinary reads.
//
// Writing settings: WriteFileAtomic / AtomicFileWriter. A symbolic link is
// written through to its target; the bytes go to a temporary file beside
// the target, named ".<name>.tmp-XXXXXX", which is synced and renamed over
// the target (keeping its permission bits), and the folder is synced. A
// write cut short leaves the old file as it was; the temporary it may leave
// is recognisable and RemoveLeftoverTemporaries removes it at the next
// start.
//
// Files are made with mode 0666 and folders with 0777, less the umask, so a
// station sharing its folder with a group (which clears the group's bits of
// the umask) leaves what it makes writable for the group.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace flashery {

// Reasons beyond errno (negative, so they never meet an errno value).
inline constexpr int kReadErrorPipe = -2;      // a named pipe
inline constexpr int kReadErrorSocket = -3;    // a socket
inline constexpr int kReadErrorDevice = -4;    // a character or block device
inline constexpr int kReadErrorNotFile = -5;   // anything else that is not a regular file
inline constexpr int kReadErrorTooLarge = -6;  // larger than the reader's bound
inline constexpr int kReadErrorChanged = -7;   // ended before its size while read

// Opens `path` for reading when it is a regular file. Returns the
// descriptor (the caller closes it) or -1; `*error` receives errno (EISDIR
// for a folder) or one of the codes above, `*size` the file's size.
// extraFlags: e.g. O_NOFOLLOW.
int OpenRegularFile(const std::string& path, int* error = nullptr, uint64_t* size = nullptr, int extraFlags = 0);

// Reads exactly n bytes at `offset` of the open file fd (pread, repeated
// after EINTR and short reads); false on an error or an early end.
bool ReadExactAt(int fd, void* buffer, size_t n, uint64_t offset);

// The reason of a failed read in words: "it is a named pipe, not a file",
// "it is a folder, not a file", "larger than 1 MiB", the system's text.
std::string DescribeReadError(int error, uint64_t maxBytes = 0);

// The whole of a regular file of at most maxBytes; nullopt otherwise, with
// `*error` as OpenRegularFile gives it (kReadErrorTooLarge when larger).
std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxBytes = 1ull << 30,
                                         int* error = nullptr);

// The file a path names once symbolic links of its last component are
// followed (at most 40; a relative link is taken from the link's folder).
// A path that is no link is returned as it is; a dangling link gives its
// target, so a write creates it.
std::string FollowLinks(const std::string& path);

// One atomic replacement of a file (see above). Write prepares the
// temporary; Commit renames it over the target. An uncommitted temporary is
// removed when the writer goes.
class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;
  ~AtomicFileWriter();

  bool Write(const std::string& path, std::string_view bytes);
  bool Commit();
  const std::string& error() const { return error_; }
  const std::string& temporaryPath() const { return temp_; }

 private:
  void Fail(const std::string& what, int err);
  std::string target_, temp_, error_;
  bool committed_ = false;
};

// Write and Commit in one; `*why` (optional) tells a failure, naming the file.
bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* why = nullptr);
// Removes the temporaries a cut-short WriteFileAtomic of `path` left beside
// its target; returns how many were removed.
int RemoveLeftoverTemporaries(const std::string& path);

// Creates or truncates `path` and writes `bytes`.
bool WriteWholeFile(const std::string& path, std::string_view bytes);
// Appends `bytes` with one write call on an O_APPEND descriptor.
bool AppendToFile(const std::string& path, std::string_view bytes);

bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsRegularFile(const std::string& path);
std::optional<uint64_t> FileSize(const std::string& path);
// mkdir -p; true when the folder exists afterwards.
bool MakeDirectories(const std::string& path);
// Removes a file or a whole tree (symbolic links are removed, never followed).
bool RemoveTree(const std::string& path);

}  // namespace flashery
