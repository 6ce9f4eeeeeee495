// libFuzzer target: a language file of arbitrary bytes in a program
// folder, read as the station reads it at start-up and for the window:
// the listing with its language ids, the text table, the dialog font, the
// retitling texts and the language menu.
//
// Checked besides memory safety:
//  - the table holds exactly its 225 texts, each valid UTF-8 of at most
//    1,023 bytes, and every text the station adds is non-empty;
//  - the font name has at most 31 bytes, its size lies in 0..200;
//  - a retitling text is non-empty, valid UTF-8, at most 1,023 bytes;
//  - the listing gives the file's own language id, and the menu gives
//    distinct command ids within the menu's range.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/fuzz/fuzz_support.h"
#include "platform/profile.h"
#include "text/language.h"
#include "text/text_table.h"

namespace {

using namespace flashery;

using fuzz::Require;

// A program folder of its own (in memory when the machine has /dev/shm).
const std::string& Folder() { return fuzz::ScratchFolder("lngfuzz"); }

void CheckText(const std::string& s, size_t maxBytes) { Require(s.size() <= maxBytes && IsValidUtf8(s)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string& folder = Folder();
  const std::string path = folder + "/Fuzz.lng";
  if (!WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(data), size))) return 0;

  ProfileDocument doc = LoadLanguageDocument(path);
  Require(IsValidUtf8(doc.Serialize()));

  TextTable table;
  table.LoadFrom(doc);
  Require(table.size() == TextTable::kCount);
  for (int id = -1; id <= TextTable::kCount; ++id) CheckText(table.Get(id), TextTable::kMaxBytes);
  Require(table.Get(-1).empty() && table.Get(TextTable::kCount).empty());
  for (const StationText& t : kAllStationTexts) {
    std::string s = table.Get(t);
    CheckText(s, TextTable::kMaxBytes);
    Require(!s.empty());
  }

  if (std::optional<UiFont> font = FontOfLanguageFile(path)) {
    Require(!font->face.empty());
    CheckText(font->face, 31);
    Require(font->pointSize >= 0 && font->pointSize <= 200);
  }

  for (int dialog : {100, 101, 130, 134, 137}) {
    const std::string section = DialogSection(dialog);
    for (const std::string& key : doc.Keys(section)) {
      if (std::optional<std::string> t = RetitleText(doc, section, key)) {
        Require(!t->empty());
        CheckText(*t, 1023);
      }
    }
  }
  for (const std::string& key : doc.Keys("128")) {
    if (std::optional<std::string> t = RetitleText(doc, "128", key)) CheckText(*t, 1023);
  }

  const uint16_t id = static_cast<uint16_t>(doc.GetInt("Language", "Language", 0));
  std::vector<LanguageFile> files = ListLanguageFiles(folder);
  Require(files.size() == 1 && files[0].path == path && files[0].name == "Fuzz" && files[0].langId == id);

  LanguageMenu menu = BuildLanguageMenu(folder);
  std::set<uint32_t> ids;
  for (const LanguageMenuItem& item : menu.appended) {
    Require(item.commandId >= kFirstLanguageCommand + 2 && item.commandId <= kLastLanguageCommand);
    Require(ids.insert(item.commandId).second && item.appended && item.name == "Fuzz");
  }
  Require(menu.appended.size() == (id != 0 ? 1u : 0u));
  Require(menu.highestId >= menu.selectedId && menu.highestId <= kLastLanguageCommand);
  return 0;
}
