#include "engine/handset_name.h"

#include <array>
#include <vector>

#include "platform/codepage.h"
#include "platform/paths.h"

namespace flashery {

namespace {

constexpr std::array<std::string_view, 3> kMarkers = {"GPS", "内置资源", "quillon"};

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) out.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  return out;
}

bool IsMarker(std::string_view component) {
  for (std::string_view m : kMarkers)
    if (EqualsNoCase(component, m)) return true;
  return false;
}

bool HasPrefix(const std::vector<std::string_view>& path, const std::vector<std::string_view>& prefix) {
  if (prefix.size() > path.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (path[i] != prefix[i]) return false;
  return true;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `needle` is lower-case ASCII.
bool ContainsNoCase(std::string_view hay, std::string_view needle) {
  if (needle.size() > hay.size()) return false;
  for (size_t i = 0; i + needle.size() <= hay.size(); ++i) {
    size_t k = 0;
    while (k < needle.size() && AsciiLower(hay[i + k]) == needle[k]) ++k;
    if (k == needle.size()) return true;
  }
  return false;
}

}  // namespace

std::optional<std::string> MapToHandsetName(std::string_view setFolder, std::string_view localPath,
                                            std::string_view root, Codepage codepage) {
  std::vector<std::string_view> path = Components(localPath);
  std::vector<std::string_view> set = Components(setFolder);
  // Where the search starts: the set's own marker folder, else below the set.
  size_t from = 0;
  if (HasPrefix(path, set)) {
    from = set.size();
    for (size_t i = set.size(); i-- > 0;) {
      if (IsMarker(set[i])) {
        from = i;
        break;
      }
    }
  }
  // A marker is a folder: never the path's last component.
  size_t found = path.size();
  for (std::string_view m : kMarkers) {
    for (size_t i = from; i + 1 < path.size(); ++i) {
      if (EqualsNoCase(path[i], m)) {
        found = i;
        break;
      }
    }
    if (found != path.size()) break;
  }
  if (found == path.size() || root.empty()) return std::nullopt;
  std::string name(root);
  for (size_t i = found + 1; i < path.size(); ++i) {
    if (i > found + 1) name += "//";
    std::optional<std::string> component = DiskNameToUtf8(path[i], codepage);
    if (!component) return std::nullopt;
    name += *component;
  }
  if (name.size() > kHandsetNameMaxBytes) return std::nullopt;
  return name;
}

bool IsSkippedListFile(std::string_view path) {
  return ContainsNoCase(path, "quilfile_pc.txt") || ContainsNoCase(path, "resfile_pc.txt");
}

}  // namespace flashery
