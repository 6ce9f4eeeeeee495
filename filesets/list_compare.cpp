#include "filesets/list_compare.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "filesets/list_codepage.h"
#include "filesets/list_folders.h"
#include "filesets/list_line.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

constexpr size_t kComparePiece = 65535;

// Opens a regular file for reading; never blocks on a pipe.
int OpenRegular(const std::string& path, uint64_t* size) { return OpenRegularFile(path, nullptr, size); }

bool ReadExactly(int fd, char* buf, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = ::read(fd, buf + done, n - done);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

ListComparison Failure(ListVerdict v, size_t index, const std::string& text, std::string current = {}) {
  ListComparison c;
  c.verdict = v;
  c.referenceLine = index + 1;
  c.referenceText = text;
  c.currentText = std::move(current);
  return c;
}

}  // namespace

FileComparison CompareFiles(const std::string& pathA, const std::string& pathB) {
  uint64_t sizeA = 0, sizeB = 0;
  int a = OpenRegular(pathA, &sizeA);
  int b = a < 0 ? -1 : OpenRegular(pathB, &sizeB);
  if (a < 0 || b < 0) {
    if (a >= 0) ::close(a);
    return FileComparison::CannotOpen;
  }
  FileComparison result = FileComparison::Equal;
  if (sizeA != sizeB) {
    result = FileComparison::SizesDiffer;
  } else {
    std::vector<char> bufA(kComparePiece), bufB(kComparePiece);
    for (uint64_t left = sizeA; left > 0;) {
      size_t n = static_cast<size_t>(left < kComparePiece ? left : kComparePiece);
      if (!ReadExactly(a, bufA.data(), n) || !ReadExactly(b, bufB.data(), n)) {
        result = FileComparison::ReadFailed;
        break;
      }
      if (std::memcmp(bufA.data(), bufB.data(), n) != 0) {
        result = FileComparison::ContentsDiffer;
        break;
      }
      left -= n;
    }
  }
  ::close(a);
  ::close(b);
  return result;
}

ListComparison CompareLists(const std::string& referenceList, const std::string& currentList, Codepage system) {
  if (referenceList.empty() || currentList.empty()) return {};
  FileComparison bytes = CompareFiles(referenceList, currentList);
  if (bytes == FileComparison::Equal) return ListComparison{true, ListVerdict::Identical, 0, {}, {}};
  if (bytes == FileComparison::CannotOpen) return {};  // missing, or not a regular file
  auto refBytes = ReadWholeFile(referenceList, kMaxListBytes);
  auto curBytes = refBytes ? ReadWholeFile(currentList, kMaxListBytes) : std::nullopt;
  if (!refBytes || !curBytes) return {};
  std::vector<std::string> ref = ReadListRecords(*refBytes, system);
  std::vector<std::string> cur = ReadListRecords(*curBytes, system);

  // The records read in step, up to the first at which the lists differ;
  // an empty reference line is read in step with an empty current line.
  size_t ci = 0, diverged = ref.size();
  for (size_t i = 0; i < ref.size() && diverged == ref.size(); ++i) {
    if (ci < cur.size() && EqualsNoCase(ref[i], cur[ci])) {
      ++ci;
      continue;
    }
    if (ref[i].empty()) continue;
    diverged = i;
  }
  if (diverged == ref.size()) return ListComparison{true, ListVerdict::Accepted, 0, {}, {}};
  size_t misplaced = ref.size();
  for (size_t i = diverged; i < ref.size() && misplaced == ref.size(); ++i)
    if (!ref[i].empty() && !IsFolderHeader(ref[i]) && ref[i].find(';') == std::string::npos) misplaced = i;
  FolderMatch m = MatchWithinFolders(ref, cur);
  if (!m.matched && m.reference < misplaced) {
    if (m.differs) return Failure(ListVerdict::Differs, m.reference, ref[m.reference], cur[m.current]);
    return Failure(ListVerdict::Missing, m.reference, ref[m.reference]);
  }
  if (misplaced < ref.size()) return Failure(ListVerdict::Misplaced, misplaced, ref[misplaced]);
  return ListComparison{true, ListVerdict::Accepted, 0, {}, {}};
}

const char* ListVerdictName(ListVerdict v) {
  switch (v) {
    case ListVerdict::Identical: return "identical";
    case ListVerdict::Accepted: return "accepted";
    case ListVerdict::Unreadable: return "unreadable";
    case ListVerdict::Missing: return "missing";
    case ListVerdict::Differs: return "differs";
    case ListVerdict::Misplaced: return "misplaced";
  }
  return "?";
}

}  // namespace flashery
