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

struct Block {
  std::u16string header;        // folded; empty for the set's own folder
  size_t headerRecord = 0;
  std::vector<size_t> records;  // its entries (by path: its headers too)
  std::unordered_map<std::u16string, size_t> count;  // folded record -> how often
  std::unordered_map<std::string, size_t> names;     // entry name -> first record
};

std::vector<Block> BlocksOf(const std::vector<std::string>& records, bool byPath) {
  std::vector<Block> blocks(1);
  for (size_t i = 0; i < records.size(); ++i) {
    const std::string& r = records[i];
    bool header = IsFolderHeader(r);
    if (header && !byPath) {
      blocks.emplace_back();
      blocks.back().header = Fold(r);
      blocks.back().headerRecord = i;
      continue;
    }
    if (!header && !IsEntry(r)) continue;
    Block& b = blocks.back();
    b.records.push_back(i);
    ++b.count[Fold(r)];
    if (!header) b.names.emplace(ParseListEntry(r).name, i);
  }
  return blocks;
}

// The first record of `ref` that `cur` cannot supply, or ref.records.size().
size_t FirstLacking(const std::vector<std::string>& reference, const Block& ref, const Block& cur) {
  std::unordered_map<std::u16string, size_t> left = cur.count;
  for (size_t k = 0; k < ref.records.size(); ++k) {
    auto it = left.find(Fold(reference[ref.records[k]]));
    if (it == left.end() || it->second == 0) return k;
    --it->second;
  }
  return ref.records.size();
}

}  // namespace

FolderMatch MatchWithinFolders(const std::vector<std::string>& reference, const std::vector<std::string>& current) {
  bool byPath = NamesByPath(reference);
  std::vector<Block> ref = BlocksOf(reference, byPath), cur = BlocksOf(current, byPath);
  std::vector<bool> used(cur.size(), false);
  for (const Block& r : ref) {
    const Block* first = nullptr;
    bool found = false;
    for (size_t c = 0; c < cur.size() && !found; ++c) {
      if (used[c] || cur[c].header != r.header) continue;
      if (!first) first = &cur[c];
      if (FirstLacking(reference, r, cur[c]) == r.records.size()) used[c] = found = true;
    }
    if (found) continue;
    FolderMatch m;
    m.matched = false;
    if (!first) {  // never for the set's own folder, which every list has
      m.reference = r.headerRecord;
      return m;
    }
    m.reference = r.records[FirstLacking(reference, r, *first)];
    const std::string& lacking = reference[m.reference];
    if (!IsFolderHeader(lacking) && !first->count.count(Fold(lacking))) {
      ListEntry e = ParseListEntry(lacking);
      auto same = first->names.find(e.name);
      if (same != first->names.end() && ParseListEntry(current[same->second]).fields == e.fields) {
        m.differs = true;
        m.current = same->second;
      }
    }
    return m;
  }
  return {};
}

}  // namespace flashery
