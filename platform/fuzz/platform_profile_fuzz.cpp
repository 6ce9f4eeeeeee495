// libFuzzer target: profile (INI) files - the settings and, through the
// same reader, the language files. The input is a file's bytes followed by
// a short trailer that chooses one write: a section, a key and a value.
//
// Checked besides memory safety:
//  - the file is decoded to valid UTF-8, and parsing keeps every byte of
//    it: Serialize() gives the decoded text back;
//  - a string read is never longer than asked for nor cut inside a
//    character; an integer read is the value's leading number;
//  - one write of a plain key then reads back as written, every other key
//    of the usual sections reads as before, and so does the file saved
//    and loaded again.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/fuzz/fuzz_support.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace {

using namespace flashery;

using fuzz::Require;

const std::string& Folder() { return fuzz::ScratchFolder("inifuzz"); }

// Sections the station reads; the trailer may name one of them or its own.
const std::vector<std::string> kSections = {"Language", "checkinfo", "ExdFile", "FilePath",
                                            "ProjectType", "Text", "Station", "Project"};

struct Read {
  std::string section, key;
  std::optional<std::string> value;
  bool operator==(const Read&) const = default;
};

// Every key of the usual sections (and `extra`) with its value.
std::vector<Read> ReadAll(const ProfileDocument& doc, const std::string& extra) {
  std::vector<Read> out;
  std::vector<std::string> sections = kSections;
  sections.push_back(extra);
  for (const std::string& s : sections) {
    for (const std::string& k : doc.Keys(s)) out.push_back({s, k, doc.Get(s, k)});
  }
  return out;
}

// A plain name (letters and digits) or value (printable ASCII, no blank at
// either end, no quote first) from the trailer's bytes.
std::string Plain(std::string_view raw, bool value) {
  std::string out;
  for (unsigned char c : raw) {
    const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
    if (value ? (c >= 0x21 && c <= 0x7E) : ((c >= '0' && c <= '9') || letter))
      out += static_cast<char>(c);
    else if (value && c == ' ' && !out.empty())
      out += ' ';
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  while (value && !out.empty() && (out.front() == '"' || out.front() == '\'' || out.front() == ' '))
    out.erase(0, 1);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  // Trailer: [n1 n2 n3] section bytes, key bytes, value bytes, then the
  // three lengths as the last three bytes.
  std::string_view all(reinterpret_cast<const char*>(data), size);
  std::string_view file = all, sectionRaw, keyRaw, valueRaw;
  if (size >= 3) {
    size_t n1 = data[size - 3] & 15, n2 = data[size - 2] & 15, n3 = data[size - 1] & 31;
    if (n1 + n2 + n3 + 3 <= size) {
      file = all.substr(0, size - 3 - n1 - n2 - n3);
      sectionRaw = all.substr(file.size(), n1);
      keyRaw = all.substr(file.size() + n1, n2);
      valueRaw = all.substr(file.size() + n1 + n2, n3);
    }
  }

  const Codepage legacy = size && (data[0] & 1) ? Codepage::Big5 : Codepage::Gbk;
  Codepage detected = Codepage::Utf8;
  const std::string text = DecodeToUtf8(file, legacy, &detected);
  Require(IsValidUtf8(text));
  ProfileDocument doc = ProfileDocument::Parse(text);
  Require(doc.Serialize() == text);

  std::string section = Plain(sectionRaw, false);
  if (section.empty()) section = kSections[sectionRaw.size() % kSections.size()];
  std::string key = Plain(keyRaw, false);
  if (key.empty()) key = "Key";
  const std::string value = Plain(valueRaw, true);

  for (const Read& r : ReadAll(doc, section)) {
    std::string cut = doc.GetString(r.section, r.key, "", 7);
    Require(cut.size() <= 7 && IsValidUtf8(cut) && r.value && r.value->compare(0, cut.size(), cut) == 0);
    Require(doc.GetInt(r.section, r.key, -7) == (r.value->empty() ? -7 : ParseProfileInt(*r.value)));
  }

  // The same document read from a file, as the station loads it.
  const std::string path = Folder() + "/settings.ini";
  if (!WriteWholeFile(path, file)) return 0;
  ProfileDocument loaded = ProfileDocument::Load(path, legacy);
  // A file holding a zero byte is no text: the reader may refuse it.
  if (!loaded.exists() || file.find('\0') != std::string_view::npos) return 0;
  Require(loaded.Serialize() == text && loaded.codepage() == detected);

  std::vector<Read> before = ReadAll(doc, section);
  loaded.Set(section, key, value);
  Require(loaded.Get(section, key) == value);
  for (const Read& r : before) {
    if (EqualsNoCase(r.section, section) && EqualsNoCase(r.key, key)) continue;
    Require(r.value == loaded.Get(r.section, r.key));
  }

  const std::string serialized = loaded.Serialize();
  Require(ProfileDocument::Parse(serialized).Serialize() == serialized);
  if (!loaded.Save(path)) return 0;
  // Text of another code page may happen to read as UTF-8 once the one
  // line that was not is replaced, and a text whose own first bytes in its
  // code page are those of a byte order mark cannot be told from a marked
  // file; otherwise the same code page must give the same text.
  ProfileDocument reloaded = ProfileDocument::Load(path, legacy);
  const std::string encoded = loaded.codepage() == Codepage::Utf8
                                  ? serialized
                                  : EncodeFromUtf8(serialized, loaded.codepage()).value_or(serialized);
  const bool marked = encoded.rfind("\xEF\xBB\xBF", 0) == 0;
  Require(marked || reloaded.codepage() != loaded.codepage() || reloaded.Serialize() == serialized);
  return 0;
}
