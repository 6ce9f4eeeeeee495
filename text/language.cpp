#include "text/language.h"

#include <cstdlib>
#include <cstring>

#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace flashery {

ProfileDocument LoadLanguageDocument(const std::string& path) {
  auto ownCodepage = [](const ProfileDocument& doc) {
    return CodepageForLangId(static_cast<unsigned>(doc.GetInt("Language", "Language", 0)));
  };
  return ProfileDocument::Load(path, ownCodepage, kMaxLanguageFileBytes);
}

uint16_t LangIdFromLocale(const char* localeName) {
  if (localeName == nullptr) return 1033;
  std::string l = localeName;
  auto starts = [&](const char* p) { return l.rfind(p, 0) == 0; };
  if (starts("zh_TW") || starts("zh_HK") || starts("zh_MO")) return 1028;
  if (starts("zh")) return 2052;
  if (starts("de")) return 1031;
  if (starts("fr")) return 1036;
  if (starts("ja")) return 1041;
  if (starts("ko")) return 1042;
  if (starts("es")) return 3082;
  if (starts("ru")) return 1049;
  return 1033;
}

uint16_t UserDefaultLangId() {
  for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(var);
    if (v && *v) return LangIdFromLocale(v);
  }
  return 1033;
}

std::vector<LanguageFile> ListLanguageFiles(const std::string& appFolder) {
  std::vector<LanguageFile> out;
  for (const auto& e : ListFolder(appFolder)) {
    if (!MatchesWildcard(e.name, "*.lng")) continue;  // a folder of that name is reported, not skipped
    LanguageFile f;
    f.name = e.name.substr(0, e.name.size() - 4);
    f.path = JoinPath(appFolder, e.name);
    ProfileDocument doc = LoadLanguageDocument(f.path);
    f.langId = static_cast<uint16_t>(doc.GetInt("Language", "Language", 0));
    f.failure = doc.failure();
    out.push_back(std::move(f));
  }
  return out;
}

std::string SettingsFilePath(const std::string& appFolder) {
  if (auto p = ResolveNoCase(appFolder, "downtoolcfg.ini")) return *p;
  return JoinPath(appFolder, "downtoolcfg.ini");
}

std::optional<UiFont> FontOfLanguageFile(const std::string& lngPath) {
  if (lngPath.empty()) return std::nullopt;
  ProfileDocument doc = LoadLanguageDocument(lngPath);
  UiFont font;
  font.face = doc.GetString("Language", "FontName", "", 31);
  if (font.face.empty()) return std::nullopt;
  font.pointSize = doc.GetInt("Language", "FontSize", 0);
  if (font.pointSize < 0 || font.pointSize > 200) font.pointSize = 0;
  return font;
}

static void SaveCurrentLang(const std::string& appFolder, uint16_t lang, LanguageState& state) {
  std::string why;
  if (!WriteProfileString(SettingsFilePath(appFolder), "Language", "currentLang", std::to_string(lang), &why))
    state.settingsNotSaved = why;
}

uint16_t LoadStartupLanguage(const std::string& appFolder, uint16_t userDefault, LanguageState& state) {
  const ProfileDocument settings = ProfileDocument::Load(SettingsFilePath(appFolder));
  const uint16_t lang = static_cast<uint16_t>(settings.GetInt("Language", "currentLang", userDefault));
  if (lang == 0) return 0;
  const LanguageFile* chosen = nullptr;
  std::vector<LanguageFile> files = ListLanguageFiles(appFolder);
  for (const auto& f : files) {
    if (!f.failure.empty()) state.unreadable.push_back(f.path + ": " + f.failure);
    if (!chosen && f.langId == lang) chosen = &f;
  }
  if (!chosen) return 0;
  state.lngPath = chosen->path;
  state.languageId = lang;
  // Written only when it changes: a start with a read-only program folder
  // has nothing to save and nothing to report.
  if (settings.GetString("Language", "currentLang") != std::to_string(lang)) SaveCurrentLang(appFolder, lang, state);
  state.font = FontOfLanguageFile(chosen->path);
  return lang;
}

LanguageMenu BuildLanguageMenu(const std::string& appFolder) {
  LanguageMenu menu;
  uint16_t current = static_cast<uint16_t>(GetProfileInt(SettingsFilePath(appFolder), "Language", "currentLang", 0));
  bool first = true;
  uint32_t next = kFirstLanguageCommand + 2;
  for (const auto& f : ListLanguageFiles(appFolder)) {
    bool wasFirst = first;
    first = false;
    if (f.langId == 0) continue;
    if (wasFirst) menu.separatorBeforeFiles = true;
    uint32_t id;
    if (f.name == "简体中文") {
      id = kFirstLanguageCommand;
    } else if (f.name == "English") {
      id = kFirstLanguageCommand + 1;
    } else {
      if (next > kLastLanguageCommand) break;
      id = next++;
      menu.appended.push_back({id, f.name, true});
    }
    if (id > menu.highestId) menu.highestId = id;
    if (f.langId == current) menu.selectedId = id;
  }
  return menu;
}

uint32_t SelectLanguageFromMenu(const std::string& appFolder, LanguageMenu& menu, uint32_t commandId,
                                const std::string& itemName, LanguageState& state) {
  uint16_t lang = 0;
  if (commandId >= kFirstLanguageCommand && commandId <= menu.highestId && !itemName.empty() &&
      itemName.find('/') == std::string::npos) {
    menu.selectedId = commandId;
    std::string file = itemName + ".lng";
    auto resolved = ResolveNoCase(appFolder, file);
    state.lngPath = resolved ? *resolved : JoinPath(appFolder, file);
    lang = static_cast<uint16_t>(LoadLanguageDocument(state.lngPath).GetInt("Language", "Language", 0));
  } else {
    state.lngPath.clear();
    menu.selectedId = kFirstLanguageCommand;
  }
  state.languageId = lang;
  SaveCurrentLang(appFolder, lang, state);
  state.font = FontOfLanguageFile(state.lngPath);
  return menu.selectedId;
}

std::string DialogSection(int dialogId) {
  switch (dialogId) {
    case 101: return "Download";
    case 130: return "FileSetup";
    case 100: return "About";
    case 134: return "Wait";
    case 137: return "configdownfile";
    default: return "";
  }
}

std::string MenuPopupKey(const std::string& parentKey, unsigned position) {
  return parentKey + "|" + std::to_string(position);
}

std::optional<std::string> RetitleText(const ProfileDocument& lng, const std::string& section,
                                       const std::string& key) {
  if (section.empty()) return std::nullopt;
  std::string v = lng.GetString(section, key, "", 1023);
  if (v.empty()) return std::nullopt;
  return v;
}

}  // namespace flashery
