#include "platform/profile.h"

#include <cerrno>
#include <unordered_set>

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

namespace {

// Splits at '\n'; each piece keeps its line end. A line feed is the same
// byte in every code page read here and never inside a multibyte
// character, so the decoded text and the raw bytes split alike.
std::vector<std::string_view> SplitKeepingEnds(std::string_view text) {
  std::vector<std::string_view> out;
  size_t i = 0;
  while (i < text.size()) {
    size_t nl = text.find('\n', i);
    size_t end = nl == std::string_view::npos ? text.size() : nl + 1;
    out.push_back(text.substr(i, end - i));
    i = end;
  }
  return out;
}

std::u16string Fold(std::string_view name) {
  std::u16string u = Utf8ToUtf16(name);
  for (char16_t& c : u) c = UpcaseUnit(c);
  return u;
}

}  // namespace

ProfileDocument ProfileDocument::FromLines(std::string_view decoded, std::string_view raw) {
  ProfileDocument doc;
  std::vector<std::string_view> text = SplitKeepingEnds(decoded);
  std::vector<std::string_view> bytes = SplitKeepingEnds(raw);
  const bool paired = text.size() == bytes.size();
  doc.lines_.reserve(text.size());
  for (size_t n = 0; n < text.size(); ++n) {
    std::string_view t = text[n];
    Line line;
    if (!t.empty() && t.back() == '\n') {
      t.remove_suffix(1);
      line.eol = "\n";
      if (!t.empty() && t.back() == '\r') {
        t.remove_suffix(1);
        line.eol = "\r\n";
      }
    }
    line.text = std::string(t);
    if (paired) line.raw = std::string(bytes[n]);
    else line.changed = true;  // cannot happen with the code pages read here
    doc.lines_.push_back(std::move(line));
  }
  doc.BuildIndex();
  return doc;
}

void ProfileDocument::BuildIndex() {
  sectionIndex_.clear();
  keyIndex_.clear();
  std::u16string current;
  bool firstOfName = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (auto name = SectionName(lines_[i].text)) {
      current = Fold(*name);
      firstOfName = sectionIndex_.emplace(current, i).second;
      continue;
    }
    if (!firstOfName) continue;  // only the first section of a name is searched
    auto kv = SplitKeyValue(lines_[i].text);
    if (!kv) continue;
    std::u16string composite = current;
    composite += u'\0';
    composite += Fold(kv->key);
    keyIndex_.emplace(std::move(composite), i);
  }
  indexed_ = true;
}

ProfileDocument ProfileDocument::Parse(std::string_view text) { return FromLines(text, text); }

ProfileDocument ProfileDocument::Load(const std::string& path, Codepage legacy, uint64_t maxBytes) {
  int error = 0;
  auto bytes = ReadWholeFile(path, maxBytes, &error);
  ProfileDocument doc;
  if (!bytes) {
    if (error == ENOENT) return doc;
    doc.exists_ = true;
    doc.failure_ = DescribeReadError(error, maxBytes);
    return doc;
  }
  if (size_t zero = bytes->find('\0'); zero != std::string::npos) {
    doc.exists_ = true;
    doc.failure_ = "it is not a text file (a zero byte at offset " + std::to_string(zero) + ")";
    return doc;
  }
  std::string_view body = *bytes;
  std::string bom;
  if (body.size() >= 3 && body.substr(0, 3) == "\xEF\xBB\xBF") {
    bom = std::string(body.substr(0, 3));
    body.remove_prefix(3);
  }
  Codepage detected = Codepage::Utf8;
  std::string decoded = DecodeToUtf8(body, legacy, &detected);
  doc = FromLines(decoded, body);
  doc.bom_ = std::move(bom);
  doc.exists_ = true;
  doc.codepage_ = detected;
  return doc;
}

std::optional<size_t> ProfileDocument::FindSection(std::string_view section) const {
  if (indexed_) {
    auto it = sectionIndex_.find(Fold(Trim(section)));
    if (it == sectionIndex_.end()) return std::nullopt;
    return it->second;
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionName(lines_[i].text);
    if (name && EqualsNoCase(*name, Trim(section))) return i;
  }
  return std::nullopt;
}

std::optional<size_t> ProfileDocument::FindKey(std::string_view section, std::string_view key) const {
  key = Trim(key);
  if (indexed_) {
    std::u16string composite = Fold(Trim(section));
    composite += u'\0';
    composite += Fold(key);
    auto it = keyIndex_.find(composite);
    if (it == keyIndex_.end()) return std::nullopt;
    return it->second;
  }
  auto s = FindSection(section);
  if (!s) return std::nullopt;
  for (size_t i = *s + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto kv = SplitKeyValue(lines_[i].text);
    if (kv && EqualsNoCase(kv->key, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section, std::string_view key) const {
  auto i = FindKey(section, key);
  if (!i) return std::nullopt;
  return Unquote(SplitKeyValue(lines_[*i].text)->value);
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
  std::unordered_set<std::u16string> seen;
  for (size_t i = *s + 1; i < lines_.size(); ++i) {
    if (SectionName(lines_[i].text)) break;
    auto kv = SplitKeyValue(lines_[i].text);
    if (!kv || kv->key.empty()) continue;
    if (seen.insert(Fold(kv->key)).second) out.emplace_back(kv->key);
  }
  return out;
}

std::string ProfileDocument::DefaultEol() const {
  for (const auto& l : lines_)
    if (!l.eol.empty()) return l.eol;
  return "\r\n";
}

void ProfileDocument::EndLine(Line& line, const std::string& eol) {
  line.eol = eol;
  if (!line.changed) line.raw += eol;
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const std::string eol = DefaultEol();
  Line newLine{std::string(Trim(key)) + "=" + std::string(value), eol, {}, true};
  auto s = FindSection(section);
  if (!s) {
    if (!lines_.empty()) {
      if (lines_.back().eol.empty()) EndLine(lines_.back(), eol);
      if (!Trim(lines_.back().text).empty()) lines_.push_back({"", eol, {}, true});
    }
    lines_.push_back({"[" + std::string(Trim(section)) + "]", eol, {}, true});
    lines_.push_back(std::move(newLine));
    indexed_ = false;  // lookups scan the lines until the next read
    return;
  }
  if (auto k = FindKey(section, key)) {
    Line& line = lines_[*k];
    line.text = std::move(newLine.text);
    line.changed = true;
    line.raw.clear();
    return;  // no line moved: the index stays valid
  }
  size_t lastContent = *s;
  for (size_t i = *s + 1; i < lines_.size() && !SectionName(lines_[i].text); ++i)
    if (!Trim(lines_[i].text).empty()) lastContent = i;
  if (lines_[lastContent].eol.empty()) EndLine(lines_[lastContent], eol);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), std::move(newLine));
  indexed_ = false;  // lines moved: lookups scan the lines until the next read
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  for (const auto& l : lines_) {
    out += l.text;
    out += l.eol;
  }
  return out;
}

bool ProfileDocument::Save(const std::string& path, std::string* why) const {
  auto refuse = [&](const std::string& reason) {
    if (why) *why = reason;
    return false;
  };
  if (!failure_.empty())
    return refuse("the file " + path + " is left as it is: it could not be read whole (" + failure_ + ")");
  std::string out = bom_;
  for (const auto& l : lines_) {
    if (!l.changed) {
      out += l.raw;
      continue;
    }
    if (codepage_ == Codepage::Utf8) {
      out += l.text;
    } else if (auto enc = EncodeFromUtf8(l.text, codepage_)) {
      out += *enc;
    } else {
      return refuse("\"" + l.text + "\" cannot be written to " + path + ": the file is in code page " +
                    CodepageName(codepage_) + ", which has no such character");
    }
    out += l.eol;
  }
  return WriteFileAtomic(path, out, why);
}

std::string GetProfileString(const std::string& path, std::string_view section, std::string_view key,
                             std::string_view def, size_t maxBytes) {
  return ProfileDocument::Load(path).GetString(section, key, def, maxBytes);
}

int32_t GetProfileInt(const std::string& path, std::string_view section, std::string_view key, int32_t def) {
  return ProfileDocument::Load(path).GetInt(section, key, def);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, std::string* why) {
  ProfileDocument doc = ProfileDocument::Load(path);
  doc.Set(section, key, value);
  return doc.Save(path, why);
}

}  // namespace flashery
