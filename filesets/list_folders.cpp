#include "filesets/list_folders.h"

#include <unordered_map>

#include "filesets/list_line.h"
#include "platform/paths.h"

namespace flashery {

namespace {

std::u16string Fold(const std::string& utf8) {
  std::u16string u = Utf8ToUtf16(utf8);
  for (char16_t& c : u) c = UpcaseUnit(c);
  return u;
}

bool IsEntry(const std::string& record) { return !IsFolderHeader(record) && record.find(';') != std::string::npos; }

bool NamesByPath(const std::vector<std::string>& records) {
  for (const std::string& r : records) {
    if (IsFolderHeader(r)) {
      if (r.find('\\') != std::string::npos) return true;
    } else if (IsEntry(r) && ParseListEntry(r).name.find('\\') != std::string::npos) {
      return true;
    }
  }
  return false;
}

// Keys of the records of one list. A header is keyed by itself (case
// aside); an entry by its folder, a line feed (which no record holds) and
// itself (case aside), and its name by its folder, a line feed and the name
// as it is. Other records have no key.
struct Keyed {
  std::u16string key, name;
};

std::vector<Keyed> KeysOf(const std::vector<std::string>& records, bool byPath) {
  std::vector<Keyed> keys(records.size());
  std::u16string folder;  // before the first header: the set's own folder
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string& r = records[i];
    if (IsFolderHeader(r)) {
      keys[i].key = Fold(r);
      if (!byPath) folder = keys[i].key;
    } else if (IsEntry(r)) {
      keys[i].key = folder + u'\n' + Fold(r);
      keys[i].name = folder + u'\n' + Utf8ToUtf16(ParseListEntry(r).name);
    }
  }
  return keys;
}

}  // namespace

FolderMatch MatchWithinFolders(const std::vector<std::string>& reference, const std::vector<std::string>& current) {
  bool byPath = NamesByPath(reference);
  std::vector<Keyed> ref = KeysOf(reference, byPath), cur = KeysOf(current, byPath);
  std::unordered_map<std::u16string, size_t> left;   // key -> how often not yet matched
  std::unordered_map<std::u16string, size_t> names;  // entry name in its folder -> first record
  for (size_t k = 0; k < cur.size(); ++k) {
    if (cur[k].key.empty()) continue;
    ++left[cur[k].key];
    if (!cur[k].name.empty()) names.emplace(cur[k].name, k);
  }
  for (size_t i = 0; i < ref.size(); ++i) {
    if (ref[i].key.empty()) continue;
    auto it = left.find(ref[i].key);
    if (it != left.end() && it->second > 0) {
      --it->second;
      continue;
    }
    FolderMatch m;
    m.matched = false;
    m.reference = i;
    if (it == left.end() && !ref[i].name.empty()) {
      auto same = names.find(ref[i].name);
      if (same != names.end() && ParseListEntry(current[same->second]).fields == ParseListEntry(reference[i]).fields) {
        m.differs = true;
        m.current = same->second;
      }
    }
    return m;
  }
  return {};
}

}  // namespace flashery
