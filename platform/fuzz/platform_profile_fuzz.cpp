// libFuzzer target: profile (INI) files - the settings and, through the
// same reader, the language files. The input is a file's bytes followed by
// a short trailer that chooses one write: a section, a key and a value.
//
// Checked besides memory safety:
//  - the file is read in the one encoding decided for it (a byte order
//    mark, else the code page it declares or the caller names) or refused
//    whole and left as it is; parsing keeps every byte of it: Serialize()
//    gives the decoded text back;
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

  // The settings file's own rule (a byte order mark, else the code page it
  // declares), or a code page named by the caller.
  const bool fixed = size && (data[0] & 1);
  const std::string path = Folder() + "/settings.ini";
  if (!WriteWholeFile(path, file)) return 0;
  auto load = [&] { return fixed ? ProfileDocument::Load(path, Codepage::Big5) : ProfileDocument::Load(path); };
  ProfileDocument loaded = load();
  if (!loaded.exists()) return 0;
  if (!loaded.failure().empty()) {
    // Refused whole: nothing read, and never written over.
    Require(loaded.Keys("Station").empty() && !loaded.Save(path) && *ReadWholeFile(path) == file);
    return 0;
  }
  // Read in the one encoding decided for the file, every byte kept.
  const bool marked = HasUtf8Bom(file);
  const std::string text = loaded.Serialize();
  Require(IsValidUtf8(text) && file.find('\0') == std::string_view::npos);
  Require(marked ? loaded.codepage() == Codepage::Utf8 && text == file.substr(kUtf8Bom.size())
                 : loaded.codepage() == (fixed ? Codepage::Big5 : SettingsCodepage(loaded)) &&
                       DecodeWholeText(file, loaded.codepage()) == text);
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

  std::vector<Read> before = ReadAll(doc, section);
  loaded.Set(section, key, value);
  Require(loaded.Get(section, key) == value);
  for (const Read& r : before) {
    if (EqualsNoCase(r.section, section) && EqualsNoCase(r.key, key)) continue;
    Require(r.value == loaded.Get(r.section, r.key));
  }

  const std::string serialized = loaded.Serialize();
  Require(ProfileDocument::Parse(serialized).Serialize() == serialized);
  // The value is printable ASCII: every code page holds it.
  Require(loaded.Save(path));
  // Saved in the encoding it was read in, so it reads back the same --
  // unless the write changed the code page the file declares.
  ProfileDocument reloaded = load();
  if (marked || fixed || SettingsCodepage(ProfileDocument::Parse(serialized)) == loaded.codepage())
    Require(reloaded.failure().empty() && reloaded.codepage() == loaded.codepage() &&
            reloaded.Serialize() == serialized);
  return 0;
}
