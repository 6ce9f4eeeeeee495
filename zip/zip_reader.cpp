#include "zip/zip_reader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <optional>

#include "zip/byte_source.h"
#include "zip/crc32.h"
#include "zip/inflate.h"
#include "zip/output_window.h"
#include "zip/pkware_cipher.h"
#include "zip/range_reader.h"
#include "zip/zip_format.h"

namespace flashery {

using namespace zipfmt;

namespace {

// Passes bytes on and keeps the CRC-32 of everything that went through.
class CrcSink final : public OutputSink {
 public:
  explicit CrcSink(OutputSink& next) : next_(next) {}
  bool Write(const uint8_t* data, size_t n) override {
    reg_ = Crc32Update(reg_, data, n);
    return next_.Write(data, n);
  }
  uint32_t crc() const { return ~reg_; }

 private:
  OutputSink& next_;
  uint32_t reg_ = kCrc32Preset;
};

// Writes to a file, never more than the budget allows (a write that would
// pass it fails whole).
class FdSink final : public OutputSink {
 public:
  FdSink(int fd, uint64_t budget) : fd_(fd), budget_(budget) {}
  bool Write(const uint8_t* data, size_t n) override {
    if (n > budget_ - written_) return false;
    written_ += n;
    while (n) {
      ssize_t r = ::write(fd_, data, n);
      if (r < 0 && errno == EINTR) continue;
      if (r <= 0) return false;
      data += r;
      n -= static_cast<size_t>(r);
    }
    return true;
  }
  uint64_t written() const { return written_; }

 private:
  int fd_;
  uint64_t budget_;
  uint64_t written_ = 0;
};

}  // namespace

int ZipReader::Fail(int result, std::string text) {
  diagnostic_ = std::move(text);
  return result;
}

void ZipReader::SetPassword(std::string_view password) {
  password_.assign(password.substr(0, kMaxPasswordBytes));
}

int ZipReader::Attach(int fd, uint64_t archiveStart, uint64_t archiveSize, uint64_t centralDirOffset) {
  if (fd < 0) return Fail(-1, zip_text::kBadHandle);
  if (centralDirOffset < archiveStart || centralDirOffset - archiveStart > archiveSize)
    return Fail(-1, "central directory outside the archive");
  fd_ = fd;
  archiveStart_ = archiveStart;
  archiveSize_ = archiveSize;
  centralDirOffset_ = centralDirOffset;
  return 1;
}

int ZipReader::ExtractEntryTo(const ZipEntry& entry, OutputSink& out) {
  if (fd_ < 0) return Fail(-1, zip_text::kBadHandle);
  if (entry.isDirectory) return Fail(-1, "a folder entry has no data");
  RangeReader reader(fd_, archiveStart_, archiveStart_ + archiveSize_);
  const uint64_t local = archiveStart_ + entry.localHeaderOffset;
  const uint8_t* h = reader.Get(local, kLocalHeaderBytes);
  if (!h) {
    if (reader.readFailed()) return Fail(0, "archive cannot be read");
    return Fail(-1, "local header outside the archive");
  }
  if (Le32(h) != kLocalHeaderSignature) return Fail(-1, "no local header where the directory points");
  const uint16_t localFlags = Le16(h + kLocalFlags);
  const uint16_t localTime = Le16(h + kLocalTime);
  uint64_t data = local + kLocalHeaderBytes + Le16(h + kLocalNameLength) + Le16(h + kLocalExtraLength);
  uint64_t length = entry.compressedSize;
  if (!reader.Holds(data, length)) return Fail(-1, "entry data outside the archive");

  std::optional<PkwareCipher> cipher;
  if (entry.encrypted) {
    if (localFlags & kFlagStrongEncryption) return Fail(-1, zip_text::kUnsupportedMethod);
    if (length < kEncryptionHeaderBytes) return Fail(-1, zip_text::kBadPassword);
    const uint8_t* eh = reader.Get(data, kEncryptionHeaderBytes);
    if (!eh) return Fail(0, "archive cannot be read");
    uint8_t header[kEncryptionHeaderBytes];
    std::copy(eh, eh + kEncryptionHeaderBytes, header);
    cipher.emplace(password_);
    cipher->Decrypt(header, kEncryptionHeaderBytes);
    uint32_t reference = (localFlags & kFlagDataDescriptor) ? static_cast<uint32_t>(localTime) << 16 : entry.crc32;
    if (!EncryptionHeaderMatches(header, reference, entry.versionNeeded)) return Fail(0, zip_text::kBadPassword);
    data += kEncryptionHeaderBytes;
    length -= kEncryptionHeaderBytes;
  }
  if (entry.method != kMethodStored && entry.method != kMethodDeflated)
    return Fail(-1, zip_text::kUnsupportedMethod);

  FileRangeFeed feed(fd_, data, data + length);
  ByteSource source(feed, cipher ? &*cipher : nullptr);
  CrcSink crcSink(out);
  OutputWindow window(crcSink, entry.uncompressedSize);
  int r = kInflateOk;
  if (entry.method == kMethodDeflated) {
    r = Inflate(source, window);
  } else {
    uint32_t left = entry.uncompressedSize;
    while (left) {
      if (source.Available() == 0 && !source.Refill()) break;
      size_t k = std::min<size_t>(left, source.Available());
      window.PutBytes(source.Data(), k);
      source.Skip(k);
      left -= static_cast<uint32_t>(k);
    }
    if (!window.Finish()) r = kInflateWriteFailed;
  }
  if (feed.failed()) return Fail(0, "archive cannot be read");
  if (r == kInflateWriteFailed) return Fail(-1, "output cannot be written");
  if (r == kInflateTooLong) return Fail(-1, zip_text::kLengthMismatch);
  if (r != kInflateOk) return Fail(-1, "compressed data are damaged");
  if (crcSink.crc() != entry.crc32) return Fail(-1, zip_text::kCrcMismatch);
  if (window.produced() != entry.uncompressedSize) return Fail(-1, zip_text::kLengthMismatch);
  return 1;
}

int ZipReader::ExtractEntry(const ZipEntry& entry, const std::string& outputPath) {
  if (entry.isDirectory) return Fail(-1, "a folder entry has no data");
  if (entry.uncompressedSize > budget_) return Fail(-1, "more bytes than the archive declares: " + outputPath);
  // Opened without truncating and without waiting, so that a pipe or a
  // device of that name is neither blocked on nor written to; only a
  // regular file is then emptied and written.
  int fd = ::open(outputPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
  if (fd < 0) return Fail(-1, "output file cannot be created: " + outputPath);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return Fail(-1, "output is not a regular file: " + outputPath);
  }
  if (st.st_nlink > 1) {  // writing would change the file under its other names too
    ::close(fd);
    return Fail(-1, "output file has other names: " + outputPath);
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0 || ::ftruncate(fd, 0) != 0) {
    ::close(fd);
    return Fail(-1, "output file cannot be created: " + outputPath);
  }
  FdSink sink(fd, budget_);
  int r = ExtractEntryTo(entry, sink);
  if (::close(fd) != 0 && r == 1) r = Fail(-1, "output cannot be written");
  if (r != 1) {
    ::unlink(outputPath.c_str());
  } else {
    budget_ -= sink.written();
  }
  return r;
}

}  // namespace flashery
