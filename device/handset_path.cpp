#include "device/handset_path.h"

#include "device/port_record.h"

namespace flashery {

namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool At(const std::string& s, size_t pos, std::string_view word) {
  return s.size() >= pos + word.size() && s.compare(pos, word.size(), word) == 0;
}

constexpr std::string_view kProductPrefix = "quillon_";

// Form A puts the product field at 33, form B at 34.
bool MatchForm(const std::string& lower, size_t productAt, const std::string& model) {
  if (!At(lower, productAt, kProductPrefix)) return false;
  if (model.empty()) return true;
  return At(lower, productAt + kProductPrefix.size(), model);
}

std::string CleanField(std::string_view s, size_t maxLength) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\n' || s[b] == '\r' || s[b] == '\0'))
    ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\n' || s[e - 1] == '\r' ||
                   s[e - 1] == '\0'))
    --e;
  std::string out;
  for (size_t i = b; i < e && out.size() < maxLength; ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
    if (c <= ' ' || c >= 0x7F || c == '#' || c == '&' || c == '\\' || c == '/') c = '_';
    out.push_back(static_cast<char>(c));
  }
  return out;
}

}  // namespace

bool MatchHandsetPath(std::string_view path, std::string_view model) {
  std::string lower = Lower(path);
  if (!At(lower, 4, "usb") || !At(lower, 21, "vantor")) return false;
  std::string m = Lower(model);
  return MatchForm(lower, 33, m) || MatchForm(lower, 34, m);
}

HandsetPathParts ParseHandsetPath(std::string_view path) {
  HandsetPathParts parts;
  // Found without regard to case; the text keeps the case of the path.
  size_t prod = Lower(path).find("prod_");
  if (prod != std::string_view::npos) {
    size_t from = prod + 5;
    size_t amp = path.find('&', from);
    std::string_view span = path.substr(from, amp == std::string_view::npos ? amp : amp - from);
    parts.productText = std::string(span.substr(0, kProductTextMax));
  }
  size_t first = path.find('#');
  size_t second = first == std::string_view::npos ? first : path.find('#', first + 1);
  if (second != std::string_view::npos) {
    std::string_view rest = path.substr(second + 1);
    size_t cut = rest.find_first_of("#&");
    if (cut != std::string_view::npos) rest = rest.substr(0, cut);
    parts.instanceId = std::string(rest.substr(0, kInstanceIdMax));
  }
  return parts;
}

std::optional<std::string> BuildInterfacePath(std::string_view vendor, std::string_view product,
                                              std::string_view revision, std::string_view serial) {
  std::string v = CleanField(vendor, 8);
  std::string p = CleanField(product, 16);
  std::string r = CleanField(revision, 4);
  std::string s = CleanField(serial, 64);
  if (v.empty() || s.empty()) return std::nullopt;
  std::string path = "\\\\?\\usbstor#disk&ven_" + v + "&prod_" + p + "&rev_" + r + "#" + s +
                     "&0#" + std::string(kDiskInterfaceClass);
  return path;
}

std::string InstanceIdOfSerial(std::string_view serial) {
  // The cleaned serial holds no '#' or '&', so only the length cut applies.
  return CleanField(serial, 64).substr(0, kInstanceIdMax);
}

}  // namespace flashery
