#include "platform/paths.h"

#include <algorithm>
#include <dirent.h>
#include <sys/stat.h>

#include <utility>

#include "platform/unicode_upcase_table.h"

namespace flashery {

std::string JoinPath(std::string_view a, std::string_view b) {
  if (a.empty()) return std::string(b);
  std::string out(a);
  if (out.back() != '/') out += '/';
  while (!b.empty() && b.front() == '/') b.remove_prefix(1);
  out += b;
  return out;
}

std::string DirName(std::string_view path) {
  size_t p = path.find_last_of('/');
  if (p == std::string_view::npos) return "";
  if (p == 0) return "/";
  return std::string(path.substr(0, p));
}

std::string BaseName(std::string_view path) {
  size_t p = path.find_last_of('/');
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::u16string Utf8ToUtf16(std::string_view s) {
  std::u16string out;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    uint32_t cp = 0xFFFD;
    int len = 1;
    if (c < 0x80) cp = c;
    else if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
    else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
    else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
    else len = 0;
    if (len > 1) {
      if (i + len > s.size()) { cp = 0xFFFD; len = 1; }
      else {
        for (int k = 1; k < len; ++k) {
          unsigned char d = static_cast<unsigned char>(s[i + k]);
          if ((d & 0xC0) != 0x80) { cp = 0xFFFD; len = 1; break; }
          cp = (cp << 6) | (d & 0x3F);
        }
      }
    } else if (len == 0) { cp = 0xFFFD; len = 1; }
    if (cp >= 0x10000 && cp <= 0x10FFFF) {
      cp -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (cp >> 10));
      out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      out += static_cast<char16_t>(cp);
    }
    i += static_cast<size_t>(len);
  }
  return out;
}

char16_t UpcaseUnit(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
  // The last run that starts at or before c.
  size_t lo = 0, hi = kUpcaseRunCount;
  while (lo < hi) {
    size_t mid = lo + (hi - lo) / 2;
    if (kUpcaseRuns[mid].first <= c) lo = mid + 1;
    else hi = mid;
  }
  if (lo == 0) return c;
  const UpcaseRun& run = kUpcaseRuns[lo - 1];
  if (c > run.last || (c - run.first) % run.stride != 0) return c;
  return static_cast<char16_t>(static_cast<int32_t>(c) + run.delta);
}

std::u16string NameKey(std::string_view name, Codepage legacy) {
  std::u16string key;
  if (IsValidUtf8(name)) {
    key = Utf8ToUtf16(name);
  } else if (auto decoded = ConvertCodepage(name, legacy, Codepage::Utf8)) {
    key = Utf8ToUtf16(*decoded);
  } else {
    key = Utf8ToUtf16(name);
  }
  for (char16_t& c : key) c = UpcaseUnit(c);
  return key;
}

int CompareNamesNoCase(std::string_view a, std::string_view b, Codepage legacy) {
  int c = NameKey(a, legacy).compare(NameKey(b, legacy));
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b, Codepage legacy) {
  return CompareNamesNoCase(a, b, legacy) == 0;
}

// n and p are upcased already (NameKey).
static bool MatchUnits(const std::u16string& n, size_t i, const std::u16string& p, size_t j) {
  while (j < p.size()) {
    if (p[j] == u'*') {
      while (j < p.size() && p[j] == u'*') ++j;
      if (j == p.size()) return true;
      for (size_t k = i; k <= n.size(); ++k)
        if (MatchUnits(n, k, p, j)) return true;
      return false;
    }
    if (i >= n.size()) return false;
    if (p[j] != u'?' && p[j] != n[i]) return false;
    ++i;
    ++j;
  }
  return i == n.size();
}

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  return MatchUnits(NameKey(name), 0, NameKey(pattern), 0);
}

std::vector<DirEntry> ListFolder(const std::string& dir, bool* ok, Codepage legacy) {
  std::vector<DirEntry> out;
  DIR* d = ::opendir(dir.c_str());
  if (ok) *ok = d != nullptr;
  if (!d) return out;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    std::string full = JoinPath(dir, name);
    struct stat st {};
    if (::lstat(full.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
      entry.isLink = true;
      if (::stat(full.c_str(), &st) != 0) st = {};
    }
    entry.isDir = S_ISDIR(st.st_mode);
    entry.size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
    out.push_back(std::move(entry));
  }
  ::closedir(d);
  // Each name is decoded and upcased once, not at every comparison.
  std::vector<std::pair<std::u16string, size_t>> keys;
  keys.reserve(out.size());
  for (size_t i = 0; i < out.size(); ++i) keys.emplace_back(NameKey(out[i].name, legacy), i);
  std::sort(keys.begin(), keys.end(), [&out](const auto& x, const auto& y) {
    if (x.first != y.first) return x.first < y.first;
    return out[x.second].name < out[y.second].name;
  });
  std::vector<DirEntry> sorted;
  sorted.reserve(out.size());
  for (const auto& k : keys) sorted.push_back(std::move(out[k.second]));
  return sorted;
}

std::optional<std::string> ResolveNoCase(const std::string& dir, std::string_view name) {
  std::string exact = JoinPath(dir, name);
  struct stat st {};
  if (::lstat(exact.c_str(), &st) == 0) return exact;
  for (const auto& e : ListFolder(dir))
    if (EqualsNoCase(e.name, name)) return JoinPath(dir, e.name);
  return std::nullopt;
}

std::optional<std::string> ResolvePathNoCase(const std::string& base, std::string_view relative) {
  std::string cur = base;
  size_t i = 0;
  while (i <= relative.size()) {
    size_t j = relative.find_first_of("/\\", i);
    if (j == std::string_view::npos) j = relative.size();
    if (j > i) {
      auto next = ResolveNoCase(cur, relative.substr(i, j - i));
      if (!next) return std::nullopt;
      cur = *next;
    }
    i = j + 1;
  }
  return cur;
}

}  // namespace flashery
