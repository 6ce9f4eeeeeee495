#include "text/record_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "text/station_texts.h"
#include "text/text_table.h"

namespace flashery {

int WriteAllChecked(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t r = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return errno != 0 ? errno : EIO;
    if (r == 0) return EIO;
    done += static_cast<size_t>(r);
  }
  return 0;
}

int AppendChecked(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return errno != 0 ? errno : EIO;
  int error = WriteAllChecked(fd, bytes);
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno != 0 ? errno : EIO;
  return error;
}

int SyncChecked(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno != 0 ? errno : EIO;
  int error = 0;
  // A device or pipe cannot be synced (EINVAL); it has nothing waiting either.
  if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) error = errno != 0 ? errno : EIO;
  if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno != 0 ? errno : EIO;
  return error;
}

std::string ErrorText(int error) {
  char buf[256];
  // The GNU strerror_r returns the text, which may not be in buf.
  const char* text = strerror_r(error, buf, sizeof buf);
  return text ? std::string(text) : "error " + std::to_string(error);
}

std::string RecordIncompleteMessage(const TextTable* texts, const std::string& path, const std::string& reason) {
  std::string head = texts ? texts->Get(station_text::kRecordIncomplete)
                           : std::string(station_text::kRecordIncomplete.english);
  return head + " " + path + " (" + reason + ")";
}

}  // namespace flashery
