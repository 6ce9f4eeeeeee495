#include "filesets/list_compare.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "filesets/list_codepage.h"
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

std::u16string Fold(const std::string& utf8) {
  std::u16string u = Utf8ToUtf16(utf8);
  for (char16_t& c : u) c = UpcaseUnit(c);
  return u;
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

  size_t ci = 0;
  bool diverged = false;
  std::unordered_set<std::u16string> rest;                 // current lines from the divergence on
  std::unordered_map<std::string, size_t> namesOfRest;     // entry name -> first such line
  for (size_t i = 0; i < ref.size(); ++i) {
    const std::string& r = ref[i];
    if (r.empty()) continue;
    if (!diverged) {
      if (ci < cur.size() && EqualsNoCase(r, cur[ci])) {
        ++ci;
        continue;
      }
      diverged = true;
      for (size_t k = ci; k < cur.size(); ++k) {
        rest.insert(Fold(cur[k]));
        ListEntry e = ParseListEntry(cur[k]);
        if (e.fields >= 2) namesOfRest.emplace(e.name, k);
      }
    }
    bool header = IsFolderHeader(r);
    if (!header && r.find(';') == std::string::npos) return Failure(ListVerdict::Misplaced, i, r);
    if (rest.count(Fold(r))) continue;
    if (header) return Failure(ListVerdict::Missing, i, r);
    ListEntry e = ParseListEntry(r);
    auto same = namesOfRest.find(e.name);
    if (same != namesOfRest.end() && ParseListEntry(cur[same->second]).fields == e.fields)
      return Failure(ListVerdict::Differs, i, r, cur[same->second]);
    return Failure(ListVerdict::Missing, i, r);
  }
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
