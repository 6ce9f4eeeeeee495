#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstring>
#include <ctime>

#include "platform/paths.h"

namespace flashery {

namespace {

int KindError(mode_t mode) {
  if (S_ISDIR(mode)) return EISDIR;
  if (S_ISFIFO(mode)) return kReadErrorPipe;
  if (S_ISSOCK(mode)) return kReadErrorSocket;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return kReadErrorDevice;
  return kReadErrorNotFile;
}

int Failed(int* error, int code) {
  if (error) *error = code;
  return -1;
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (r == 0) {
      errno = ENOSPC;
      return false;
    }
    done += static_cast<size_t>(r);
  }
  return true;
}

// Six characters for a temporary's name; O_EXCL settles any collision.
std::string RandomSuffix() {
  static std::atomic<uint64_t> counter{0};
  timespec ts {};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  uint64_t x = static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(ts.tv_sec) << 20) ^
               (static_cast<uint64_t>(::getpid()) << 40) ^ (counter.fetch_add(1) * 0x9E3779B97F4A7C15ull);
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::string out;
  for (int i = 0; i < 6; ++i) {
    out += kChars[x % 62];
    x /= 62;
  }
  return out;
}

constexpr const char* kTempMark = ".tmp-";
constexpr size_t kTempSuffixChars = 6;

std::string TemporaryPrefix(const std::string& target) {
  return "." + BaseName(target) + kTempMark;
}

}  // namespace

int OpenRegularFile(const std::string& path, int* error, uint64_t* size, int extraFlags) {
  struct stat st {};
  // Examined before the open, so a device is never opened at all.
  const bool noFollow = (extraFlags & O_NOFOLLOW) != 0;
  if ((noFollow ? ::lstat(path.c_str(), &st) : ::stat(path.c_str(), &st)) != 0) return Failed(error, errno);
  if (noFollow && S_ISLNK(st.st_mode)) return Failed(error, ELOOP);
  if (!S_ISREG(st.st_mode)) return Failed(error, KindError(st.st_mode));
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | extraFlags);
  if (fd < 0) return Failed(error, errno);
  // The path may have changed between the two looks: the descriptor decides.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    int code = errno;
    if (!S_ISREG(st.st_mode)) code = KindError(st.st_mode);
    ::close(fd);
    return Failed(error, code);
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  if (size) *size = static_cast<uint64_t>(st.st_size);
  if (error) *error = 0;
  return fd;
}

std::string DescribeReadError(int error, uint64_t maxBytes) {
  switch (error) {
    case ENOENT: return "it does not exist";
    case EISDIR: return "it is a folder, not a file";
    case kReadErrorPipe: return "it is a named pipe, not a file";
    case kReadErrorSocket: return "it is a socket, not a file";
    case kReadErrorDevice: return "it is a device, not a file";
    case kReadErrorNotFile: return "it is not a regular file";
    case kReadErrorChanged: return "it changed while it was read";
    case kReadErrorTooLarge:
      if (maxBytes != 0 && maxBytes % (1u << 20) == 0)
        return "it is larger than " + std::to_string(maxBytes >> 20) + " MiB";
      return maxBytes != 0 ? "it is larger than " + std::to_string(maxBytes) + " bytes" : "it is too large";
    default: return std::strerror(error);
  }
}

std::optional<std::string> ReadWholeFile(const std::string& path, uint64_t maxBytes, int* error) {
  uint64_t size = 0;
  int fd = OpenRegularFile(path, error, &size);
  if (fd < 0) return std::nullopt;
  if (size > maxBytes) {
    ::close(fd);
    Failed(error, kReadErrorTooLarge);
    return std::nullopt;
  }
  std::string out;
  out.resize(static_cast<size_t>(size));
  size_t done = 0;
  int code = 0;
  while (done < out.size()) {
    ssize_t r = ::read(fd, out.data() + done, out.size() - done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) code = errno;
    if (r == 0) code = kReadErrorChanged;
    if (r <= 0) break;
    done += static_cast<size_t>(r);
  }
  ::close(fd);
  if (code != 0) {
    Failed(error, code);
    return std::nullopt;
  }
  return out;
}

std::string FollowLinks(const std::string& path) {
  std::string p = path;
  for (int hop = 0; hop < 40; ++hop) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string target(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
    ssize_t n = ::readlink(p.c_str(), target.data(), target.size());
    if (n <= 0 || static_cast<size_t>(n) >= target.size()) return p;
    target.resize(static_cast<size_t>(n));
    p = target.front() == '/' ? target : JoinPath(DirName(p), target);
  }
  return p;
}

AtomicFileWriter::~AtomicFileWriter() {
  if (!temp_.empty() && !committed_) ::unlink(temp_.c_str());
}

void AtomicFileWriter::Fail(const std::string& what, int err) {
  error_ = what + " " + target_ + ": " + std::strerror(err);
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool AtomicFileWriter::Write(const std::string& path, std::string_view bytes) {
  target_ = FollowLinks(path);
  struct stat st {};
  const bool existed = ::stat(target_.c_str(), &st) == 0;
  if (existed && !S_ISREG(st.st_mode)) {
    error_ = "cannot write " + target_ + ": " + DescribeReadError(KindError(st.st_mode));
    return false;
  }
  const std::string prefix = JoinPath(DirName(target_), TemporaryPrefix(target_));
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp_ = prefix + RandomSuffix();
    fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0 && errno != EEXIST) {
      int err = errno;
      temp_.clear();
      Fail("cannot create a temporary file beside", err);
      return false;
    }
  }
  if (fd < 0) {
    temp_.clear();
    Fail("cannot create a temporary file beside", EEXIST);
    return false;
  }
  bool ok = WriteAll(fd, bytes);
  int err = errno;
  if (ok && existed) ::fchmod(fd, st.st_mode & 07777);
  if (ok && ::fsync(fd) != 0) {
    ok = false;
    err = errno;
  }
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    Fail("cannot write", err);
    return false;
  }
  return true;
}

bool AtomicFileWriter::Commit() {
  if (temp_.empty() || committed_) return committed_;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Fail("cannot rename the temporary file over", errno);
    return false;
  }
  committed_ = true;
  std::string dir = DirName(target_);
  int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view bytes, std::string* why) {
  AtomicFileWriter writer;
  bool ok = writer.Write(path, bytes) && writer.Commit();
  if (!ok && why) *why = writer.error();
  return ok;
}

int RemoveLeftoverTemporaries(const std::string& path) {
  const std::string target = FollowLinks(path);
  const std::string dir = DirName(target);
  const std::string prefix = TemporaryPrefix(target);
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!d) return 0;
  int removed = 0;
  while (dirent* e = ::readdir(d)) {
    std::string_view name = e->d_name;
    if (name.size() != prefix.size() + kTempSuffixChars || name.substr(0, prefix.size()) != prefix) continue;
    bool shaped = true;
    for (char c : name.substr(prefix.size())) shaped = shaped && std::isalnum(static_cast<unsigned char>(c));
    std::string full = JoinPath(dir, name);
    struct stat st {};
    if (shaped && ::lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::unlink(full.c_str()) == 0) ++removed;
  }
  ::closedir(d);
  return removed;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  return (::close(fd) == 0) && ok;
}

bool AppendToFile(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes);
  return (::close(fd) == 0) && ok;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<uint64_t> FileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

bool MakeDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  std::string cur;
  size_t i = 0;
  if (path[0] == '/') { cur = "/"; i = 1; }
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    if (j > i) {
      if (!cur.empty() && cur.back() != '/') cur += '/';
      cur.append(path, i, j - i);
      if (::mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    i = j + 1;
  }
  return IsDirectory(path);
}

bool RemoveTree(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0;
  DIR* d = ::opendir(path.c_str());
  if (!d) return false;
  bool ok = true;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    ok = RemoveTree(path + "/" + name) && ok;
  }
  ::closedir(d);
  return ::rmdir(path.c_str()) == 0 && ok;
}

bool ReadExactAt(int fd, void* buffer, size_t n, uint64_t offset) {
  auto* out = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < n) {
    ssize_t got = ::pread(fd, out + done, n - done, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
  }
  return true;
}

}  // namespace flashery
