#include "filesets/list_line.h"

namespace flashery {

static constexpr size_t kLineBytes = 259;

static bool EndsWith(std::string_view s, std::string_view tail) {
  return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

std::vector<std::string> SplitListLine(std::string_view line, std::string_view separators) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (line.size() > kLineBytes) {
    size_t n = kLineBytes;
    while (n > 0 && (static_cast<unsigned char>(line[n]) & 0xC0) == 0x80) --n;
    line = line.substr(0, n);
  }
  std::vector<std::string> fields;
  size_t i = 0;
  while (i < line.size()) {
    size_t j = line.find_first_of(separators, i);
    if (j == std::string_view::npos) j = line.size();
    if (j > i) fields.emplace_back(line.substr(i, j - i));
    i = j + 1;
  }
  return fields;
}

ListEntry ParseListEntry(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  ListEntry e;
  std::vector<std::string> f = SplitListLine(line);
  bool written = f.size() <= 2 || (f.size() == 3 && f[2].rfind("0x", 0) == 0 && EndsWith(f[1], "byte"));
  if (written) {
    e.fields = static_cast<int>(f.size());
    if (f.size() > 0) e.name = f[0];
    if (f.size() > 1) e.size = f[1];
    if (f.size() > 2) e.check = f[2];
    return e;
  }
  // More separators than the written forms have: take the fields from the
  // right and leave the rest, separators included, to the name.
  size_t last = line.rfind(';');
  std::string_view tail = line.substr(last + 1);
  std::string_view head = line.substr(0, last);
  if (tail.rfind("0x", 0) == 0) {
    size_t before = head.rfind(';');
    if (before != std::string_view::npos && EndsWith(head.substr(before + 1), "byte")) {
      e.fields = 3;
      e.name = std::string(head.substr(0, before));
      e.size = std::string(head.substr(before + 1));
      e.check = std::string(tail);
      return e;
    }
  }
  e.fields = 2;
  e.name = std::string(head);
  e.size = std::string(tail);
  return e;
}

bool IsFolderHeader(std::string_view line) { return line.find("FILE:") != std::string_view::npos; }

}  // namespace flashery
