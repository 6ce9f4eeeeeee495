#include "zip/staging_folders.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "text/prompter.h"
#include "text/status.h"
#include "zip/staging_messages.h"

namespace flashery {

bool CreateSubfolder(const std::string& relative, const std::string& root, Prompter& prompter) {
  std::string rel = relative;
  if (!rel.empty() && rel.back() == '/') rel.pop_back();
  std::string full = (!root.empty() && root.back() == '/') ? root + rel : root + "/" + rel;
  struct stat st {};
  int error = 0;
  if (::lstat(full.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return true;
    error = S_ISLNK(st.st_mode) ? ELOOP : ENOTDIR;
  } else if (::mkdir(full.c_str(), 0777) == 0) {
    return true;
  } else {
    error = errno;
  }
  prompter.Prompt(FormatString(staging_text::kCreateFolderFailed, error, full.c_str()));
  return false;
}

bool CreateFolderChain(const std::vector<std::string>& components, size_t count, const std::string& root,
                       Prompter& prompter) {
  std::string relative;
  for (size_t i = 0; i < count && i < components.size(); ++i) {
    if (i) relative += '/';
    relative += components[i];
    if (!CreateSubfolder(relative, root, prompter)) return false;
  }
  return true;
}

bool CheckFileSize(uint64_t expected, const std::string& path) {
  // Never waits on a pipe that replaced the file meanwhile.
  int fd = OpenRegularFile(path, nullptr, nullptr, O_NOFOLLOW);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<uint64_t>(st.st_size) == expected;
  ::close(fd);
  return ok;
}

uint64_t TreeFileBytes(const std::string& path) {
  uint64_t total = 0;
  std::vector<std::string> pending = {path};
  while (!pending.empty()) {
    std::string dir = std::move(pending.back());
    pending.pop_back();
    for (const auto& e : ListFolder(dir)) {
      if (e.isLink) continue;
      std::string child = JoinPath(dir, e.name);
      if (e.isDir) {
        pending.push_back(std::move(child));
      } else {
        total += e.size;
      }
    }
  }
  return total;
}

}  // namespace flashery
