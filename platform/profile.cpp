#include "platform/profile.h"

#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// "[name]" -> name; nullopt for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key, value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view line) {
  size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return KeyValue{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::string Unquote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    v = v.substr(1, v.size() - 2);
  return std::string(v);
}

std::string CutUtf8(std::string s, size_t maxBytes) {
  if (s.size() <= maxBytes) return s;
  size_t n = maxBytes;
  while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  s.resize(n);
  return s;
}

}  // namespace

int32_t ParseProfileInt(std::string_view v) {
  v = Trim(v);
  bool negative = false;
  if (!v.empty() && (v.front() == '-' || v.front() == '+')) {
    negative = v.front() == '-';
    v.remove_prefix(1);
  }
  uint64_t acc = 0;
  if (v.size() >= 2 && v[0] == '0' && (v[1] == 'x' || v[1] == 'X')) {
    for (char c : v.substr(2)) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else break;
      acc = (acc << 4 | static_cast<uint64_t>(d)) & 0xFFFFFFFFull;
    }
  } else {
    for (char c : v) {
      if (c < '0' || c > '9') break;
      acc = (acc * 10 + static_cast<uint64_t>(c - '0')) & 0xFFFFFFFFull;
    }
  }
  uint32_t u = static_cast<uint32_t>(acc);
  if (negative) u = 0u - u;
  return static_cast<int32_t>(u);
}

ProfileDocument ProfileDocument::Parse(std::string_view text) {
  ProfileDocument doc;
  size_t i = 0;
  while (i < text.size()) {
    size_t nl = text.find('\n', i);
    Line line;
    if (nl == std::string_view::npos) {
      line.text = std::string(text.substr(i));
      i = text.size();
    } else {
      size_t end = nl;
      line.eol = "\n";
      if (end > i && text[end - 1] == '\r') {
        --end;
        line.eol = "\r\n";
      }
      line.text = std::string(text.substr(i, end - i));
      i = nl + 1;
    }
    doc.lines_.push_back(std::move(line));
  }
  return doc;
}

ProfileDocument ProfileDocument::Load(const std::string& path, Codepage legacy) {
  auto bytes = ReadWholeFile(path, 64u << 20);
  if (!bytes) return ProfileDocument{};
  Codepage detected = Codepage::Utf8;
  ProfileDocument doc = Parse(DecodeToUtf8(*bytes, legacy, &detected));
  doc.exists_ = true;
  doc.codepage_ = detected;
  return doc;
}

std::optional<size_t> ProfileDocument::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionName(lines_[i].text);
    if (name && EqualsNoCase(*name, Trim(section))) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section, std::string_view key) const {
  auto s = FindSection(section);
  if (!s) return std::nullopt;
  key = Trim(key);
  for (size_t i = *s + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsNoCase(kv->key, key)) return Unquote(kv->value);
  }
  return std::nullopt;
}

std::string ProfileDocument::GetString(std::string_view section, std::string_view key, std::string_view def,
                                       size_t maxBytes) const {
  auto v = Get(section, key);
  return CutUtf8(v ? *v : std::string(def), maxBytes);
}

int32_t ProfileDocument::GetInt(std::string_view section, std::string_view key, int32_t def) const {
  auto v = Get(section, key);
  if (!v || v->empty()) return def;
  return ParseProfileInt(*v);
}

std::vector<std::string> ProfileDocument::Keys(std::string_view section) const {
  std::vector<std::string> out;
  auto s = FindSection(section);
  if (!s) return out;
  for (size_t i = *s + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto kv = SplitKeyValue(lines_[i].text);
    if (!kv || kv->key.empty()) continue;
    bool seen = false;
    for (const auto& k : out) seen = seen || EqualsNoCase(k, kv->key);
    if (!seen) out.emplace_back(kv->key);
  }
  return out;
}

std::string ProfileDocument::DefaultEol() const {
  for (const auto& l : lines_)
    if (!l.eol.empty()) return l.eol;
  return "\r\n";
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string eol = DefaultEol();
  std::string newLine = std::string(Trim(key)) + "=" + std::string(value);
  auto s = FindSection(section);
  if (!s) {
    if (!lines_.empty()) {
      if (lines_.back().eol.empty()) lines_.back().eol = eol;
      if (!Trim(lines_.back().text).empty()) lines_.push_back({"", eol});
    }
    lines_.push_back({"[" + std::string(Trim(section)) + "]", eol});
    lines_.push_back({newLine, eol});
    return;
  }
  size_t lastContent = *s;
  size_t i = *s + 1;
  for (; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsNoCase(kv->key, Trim(key))) {
      lines_[i].text = newLine;
      return;
    }
    if (!Trim(lines_[i].text).empty()) lastContent = i;
  }
  if (lines_[lastContent].eol.empty()) lines_[lastContent].eol = eol;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), Line{newLine, eol});
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

bool ProfileDocument::Save(const std::string& path) const {
  std::string text = Serialize();
  if (codepage_ != Codepage::Utf8) {
    if (auto enc = EncodeFromUtf8(text, codepage_)) return WriteFileAtomic(path, *enc);
  }
  return WriteFileAtomic(path, text);
}

std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view def, size_t maxBytes) {
  return ProfileDocument::Load(path).GetString(section, key, def, maxBytes);
}

int32_t GetProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def) {
  return ProfileDocument::Load(path).GetInt(section, key, def);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Set(section, key, value);
  return doc.Save(path);
}

}  // namespace flashery
