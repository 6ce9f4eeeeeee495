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

std::u16string Fold(std::string_view name) {
  std::u16string u = Utf8ToUtf16(name);
  for (char16_t& c : u) c = UpcaseUnit(c);
  return u;
}

}  // namespace

std::string_view ProfileDocument::EolText(Eol eol) {
  switch (eol) {
    case Eol::Lf: return "\n";
    case Eol::CrLf: return "\r\n";
    case Eol::None: break;
  }
  return {};
}

std::string_view ProfileDocument::TextOf(const Line& line) const {
  if (line.edited) return edits_[line.textAt];
  return std::string_view(text_).substr(line.textAt, line.textLength);
}

std::string_view ProfileDocument::RawOf(const Line& line) const {
  return std::string_view(rawIsText_ ? text_ : raw_).substr(line.rawAt, line.rawLength);
}

ProfileDocument::Line ProfileDocument::NewLine(std::string text, Eol eol) {
  Line line;
  line.textAt = static_cast<uint32_t>(edits_.size());
  line.eol = eol;
  line.edited = true;
  edits_.push_back(std::move(text));
  return line;
}

// Lines end at '\n'. A line feed is the same byte in every code page read
// here and never inside a multibyte character, so the decoded text and the
// raw bytes have the same lines, walked side by side. (A '\r' likewise.)
ProfileDocument ProfileDocument::FromText(std::string decoded, std::string raw, bool rawIsText) {
  ProfileDocument doc;
  doc.text_ = std::move(decoded);
  doc.raw_ = std::move(raw);
  doc.rawIsText_ = rawIsText;
  const std::string_view t = doc.text_;
  const std::string_view r = rawIsText ? doc.text_ : doc.raw_;
  auto lineFeeds = [](std::string_view v) {
    size_t n = 0;
    for (char c : v) n += c == '\n' ? 1 : 0;
    return n;
  };
  const size_t feeds = lineFeeds(t);
  // Never false with the code pages read here; if it were, every line would
  // be written from its text rather than from bytes that do not match it.
  const bool paired = rawIsText || lineFeeds(r) == feeds;
  doc.lines_.reserve(feeds + 1);
  size_t ti = 0, ri = 0;
  while (ti < t.size()) {
    const size_t tn = t.find('\n', ti);
    const size_t tEnd = tn == std::string_view::npos ? t.size() : tn + 1;
    size_t contentEnd = tEnd;
    Eol eol = Eol::None;
    if (tn != std::string_view::npos) {
      contentEnd = tn;
      eol = Eol::Lf;
      if (contentEnd > ti && t[contentEnd - 1] == '\r') {
        --contentEnd;
        eol = Eol::CrLf;
      }
    }
    if (!paired) {
      doc.lines_.push_back(doc.NewLine(std::string(t.substr(ti, contentEnd - ti)), eol));
    } else {
      const size_t rn = r.find('\n', ri);
      const size_t rEnd = rn == std::string_view::npos ? r.size() : rn + 1;
      Line line;
      line.textAt = static_cast<uint32_t>(ti);
      line.textLength = static_cast<uint32_t>(contentEnd - ti);
      line.rawAt = static_cast<uint32_t>(ri);
      line.rawLength = static_cast<uint32_t>(rEnd - ri);
      line.eol = eol;
      doc.lines_.push_back(line);
      ri = rEnd;
    }
    ti = tEnd;
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
    const std::string_view text = TextOf(lines_[i]);
    if (auto name = SectionName(text)) {
      current = Fold(*name);
      firstOfName = sectionIndex_.emplace(current, i).second;
      continue;
    }
    if (!firstOfName) continue;  // only the first section of a name is searched
    auto kv = SplitKeyValue(text);
    if (!kv) continue;
    std::u16string composite = current;
    composite += u'\0';
    composite += Fold(kv->key);
    keyIndex_.emplace(std::move(composite), i);
  }
  indexed_ = true;
}

ProfileDocument ProfileDocument::Parse(std::string_view text) { return FromText(std::string(text), {}, true); }

Codepage SettingsCodepage(const ProfileDocument& doc) {
  return CodepageOfNumber(doc.GetInt("Station", "codePage", kDefaultCodepageNumber)).value_or(Codepage::Gbk);
}

namespace {

// The 1-based number of the first line of `bytes` that is not valid in
// `cp`, once the whole text has failed. A line feed is never part of a
// multibyte character, so a text cut after a line feed decodes exactly when
// each of its lines does: a binary search over the cuts finds the line with
// a few whole conversions, whatever the number of lines.
size_t FirstUndecodableLine(std::string_view bytes, Codepage cp) {
  std::vector<size_t> ends;  // where each line ends, its line feed included
  for (size_t at = bytes.find('\n'); at != std::string_view::npos; at = bytes.find('\n', at + 1))
    ends.push_back(at + 1);
  if (ends.empty() || ends.back() != bytes.size()) ends.push_back(bytes.size());
  size_t lo = 0, hi = ends.size() - 1;  // the line of ends[hi] holds a fault
  while (lo < hi) {
    const size_t mid = lo + (hi - lo) / 2;
    if (DecodeWholeText(bytes.substr(0, ends[mid]), cp)) lo = mid + 1;
    else hi = mid;
  }
  return lo + 1;
}

}  // namespace

ProfileDocument ProfileDocument::Load(const std::string& path, const DeclaredCodepage& declared, uint64_t maxBytes) {
  return Read(path, declared, maxBytes);
}

ProfileDocument ProfileDocument::Load(const std::string& path, Codepage codepage, uint64_t maxBytes) {
  return Read(path, [codepage](const ProfileDocument&) { return codepage; }, maxBytes);
}

ProfileDocument ProfileDocument::Read(const std::string& path, const DeclaredCodepage& declared, uint64_t maxBytes) {
  int error = 0;
  if (maxBytes > 0xFFFFFFFFu / 3) maxBytes = 0xFFFFFFFFu / 3;  // decoded text still fits the line offsets
  std::optional<std::string> bytes = ReadWholeFile(path, maxBytes, &error);
  ProfileDocument doc;
  auto refuse = [&doc](std::string why) {
    doc = ProfileDocument{};
    doc.exists_ = true;
    doc.failure_ = std::move(why);
    return std::move(doc);
  };
  if (!bytes) {
    if (error != ENOENT) return refuse(DescribeReadError(error, maxBytes));
    doc.codepage_ = declared(doc);  // a new file: as the empty file declares
    return doc;
  }
  if (size_t zero = bytes->find('\0'); zero != std::string::npos)
    return refuse("it is not a text file (a zero byte at offset " + std::to_string(zero) + ")");

  // Exactly one byte order mark is taken off; a second one is text and is
  // written back as it stands.
  std::string bom;
  Codepage codepage = Codepage::Utf8;
  if (HasUtf8Bom(*bytes)) {
    bom = std::string(kUtf8Bom);
    bytes->erase(0, kUtf8Bom.size());
  } else {
    std::string ascii = *bytes;
    for (char& c : ascii)
      if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    codepage = declared(Parse(ascii));
  }
  std::optional<std::string> decoded = DecodeWholeText(*bytes, codepage);
  if (!decoded) {
    return refuse("its line " + std::to_string(FirstUndecodableLine(*bytes, codepage)) + " is not valid " +
                  CodepageName(codepage) +
                  (bom.empty() ? ", the code page it is read in (a file in UTF-8 must begin with a byte order mark)"
                               : ", which its byte order mark declares"));
  }
  const bool same = codepage == Codepage::Utf8 || IsAscii(*bytes);
  doc = FromText(std::move(*decoded), same ? std::string() : std::move(*bytes), same);
  if (bom.empty() && declared(doc) != codepage) {
    return refuse(std::string("its code page reads as ") + CodepageName(codepage) +
                  " in its ASCII bytes but otherwise once decoded in it");
  }
  doc.bom_ = std::move(bom);
  doc.exists_ = true;
  doc.codepage_ = codepage;
  return doc;
}

std::optional<size_t> ProfileDocument::FindSection(std::string_view section) const {
  if (indexed_) {
    auto it = sectionIndex_.find(Fold(Trim(section)));
    if (it == sectionIndex_.end()) return std::nullopt;
    return it->second;
  }
  for (size_t i = 0; i < lines_.size(); ++i) {
    auto name = SectionName(TextOf(lines_[i]));
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
    const std::string_view text = TextOf(lines_[i]);
    if (SectionName(text)) break;
    auto kv = SplitKeyValue(text);
    if (kv && EqualsNoCase(kv->key, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileDocument::Get(std::string_view section, std::string_view key) const {
  auto i = FindKey(section, key);
  if (!i) return std::nullopt;
  return Unquote(SplitKeyValue(TextOf(lines_[*i]))->value);
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
    const std::string_view text = TextOf(lines_[i]);
    if (SectionName(text)) break;
    auto kv = SplitKeyValue(text);
    if (!kv || kv->key.empty()) continue;
    if (seen.insert(Fold(kv->key)).second) out.emplace_back(kv->key);
  }
  return out;
}

ProfileDocument::Eol ProfileDocument::DefaultEol() const {
  for (const auto& l : lines_)
    if (l.eol != Eol::None) return l.eol;
  return Eol::CrLf;
}

void ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
  const Eol eol = DefaultEol();
  std::string newText = std::string(Trim(key)) + "=" + std::string(value);
  auto endLine = [&](Line& line) {
    if (line.eol != Eol::None) return;
    line.eol = eol;
    line.endAdded = !line.edited;
  };
  auto s = FindSection(section);
  if (!s) {
    if (!lines_.empty()) {
      endLine(lines_.back());
      if (!Trim(TextOf(lines_.back())).empty()) lines_.push_back(NewLine("", eol));
    }
    lines_.push_back(NewLine("[" + std::string(Trim(section)) + "]", eol));
    lines_.push_back(NewLine(std::move(newText), eol));
    indexed_ = false;  // lookups scan the lines until the next read
    return;
  }
  if (auto k = FindKey(section, key)) {
    const Eol keep = lines_[*k].eol;
    lines_[*k] = NewLine(std::move(newText), keep);
    return;  // no line moved: the index stays valid
  }
  size_t lastContent = *s;
  for (size_t i = *s + 1; i < lines_.size() && !SectionName(TextOf(lines_[i])); ++i)
    if (!Trim(TextOf(lines_[i])).empty()) lastContent = i;
  endLine(lines_[lastContent]);
  Line added = NewLine(std::move(newText), eol);
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastContent + 1), added);
  indexed_ = false;  // lines moved: lookups scan the lines until the next read
}

std::string ProfileDocument::Serialize() const {
  std::string out;
  for (const auto& l : lines_) {
    out += TextOf(l);
    out += EolText(l.eol);
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
    if (!l.edited) {
      out += RawOf(l);
      if (l.endAdded) out += EolText(l.eol);
      continue;
    }
    const std::string_view text = TextOf(l);
    if (codepage_ == Codepage::Utf8) {
      out += text;
    } else if (auto enc = EncodeFromUtf8(text, codepage_)) {
      out += *enc;
    } else {
      return refuse("\"" + std::string(text) + "\" cannot be written to " + path + ": the file is in code page " +
                    CodepageName(codepage_) + ", which has no such character");
    }
    out += EolText(l.eol);
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
