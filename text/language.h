// Language files: "*.lng" profile files in the program folder, one per
// language. Section "Language" holds the file's language id ("Language",
// decimal LANGID; 0 or missing makes the file invalid) and an optional
// dialog font ("FontName" up to 31 characters, "FontSize" in points);
// section "Text" the text table; sections "128" (menu), "Download",
// "FileSetup", "About", "Wait" and "configdownfile" the retitling texts.
//
// A language file that begins with a UTF-8 byte order mark is UTF-8 (the
// shipped ones in lang/ do); any other is in the legacy code page of its
// own language id (GBK for 2052 and 4100, Big5 for 1028, 3076 and 5124,
// cp1252 otherwise), as the original platform's files are. The id is read
// from the file's ASCII bytes first (platform/profile.h). A file that is not
// valid in its encoding is invalid, its failure naming the line.
//
// The current language is kept as "currentLang" in section "Language" of
// downtoolcfg.ini in the program folder.
//
// A language file is read whole or not at all: one larger than 1 MiB (the
// shipped ones hold about 10 KiB), unreadable, not a regular file (a pipe,
// a socket, a device, a folder named "*.lng") or not text counts as
// invalid, and the reason is kept for the operator (LanguageState::unreadable).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/profile.h"

namespace flashery {

inline constexpr uint64_t kMaxLanguageFileBytes = 1u << 20;

// The document of a language file; failure() tells why one could not be read.
ProfileDocument LoadLanguageDocument(const std::string& path);

// The LANGID of a POSIX locale name such as "zh_CN.UTF-8" (2052),
// "zh_TW" (1028), "en_US" (1033); 1033 for C/POSIX and unknown names.
uint16_t LangIdFromLocale(const char* localeName);
// The user's default LANGID (LC_ALL, LC_MESSAGES, LANG in that order).
uint16_t UserDefaultLangId();

struct LanguageFile {
  std::string name;  // file name without ".lng"
  std::string path;
  uint16_t langId = 0;  // 0: invalid file
  std::string failure;  // why it could not be read; empty when it was
};

// Every "*.lng" file of the folder in listing order, valid or not.
std::vector<LanguageFile> ListLanguageFiles(const std::string& appFolder);

struct UiFont {
  std::string face;  // at most 31 bytes
  int pointSize = 0; // 0: the default height
};

struct LanguageState {
  std::string lngPath;          // active language file, empty when none
  std::optional<UiFont> font;   // dialog font of the active file
  uint16_t languageId = 0;
  // What the operator is to be told (the caller says it and clears it):
  // language files that could not be read, and why a write of currentLang
  // to the settings failed.
  std::vector<std::string> unreadable;
  std::string settingsNotSaved;
};

std::string SettingsFilePath(const std::string& appFolder);  // .../downtoolcfg.ini

// The font named by a language file, or none when FontName is empty.
std::optional<UiFont> FontOfLanguageFile(const std::string& lngPath);

// Start-up: the language of "currentLang" (default: userDefault) among
// the language files. The first file of the listing with that id becomes
// active; its id is written back as currentLang (when the file does not
// hold it already) and returned. 0 when the id is 0 or no file matches (no
// language file active, nothing written).
uint16_t LoadStartupLanguage(const std::string& appFolder, uint16_t userDefault, LanguageState& state);

// The language menu: built-in items "简体中文" (32772) and "English"
// (32773) are always there; every other valid file gets the next id from
// 32774 up to 32821.
constexpr uint32_t kFirstLanguageCommand = 32772;
constexpr uint32_t kLastLanguageCommand = 32821;

struct LanguageMenuItem {
  uint32_t commandId = 0;
  std::string name;  // menu text (file name without ".lng")
  bool appended = false;  // false for the two built-in items
};

struct LanguageMenu {
  bool separatorBeforeFiles = false;
  std::vector<LanguageMenuItem> appended;  // items added after the built-ins
  uint32_t highestId = kFirstLanguageCommand;
  uint32_t selectedId = kFirstLanguageCommand;
};

LanguageMenu BuildLanguageMenu(const std::string& appFolder);

// A language chosen from the menu: `itemName` is the text of the menu item
// with that id (empty when the id is outside the menu). Sets the state,
// writes currentLang and makes the font; returns the selected id.
uint32_t SelectLanguageFromMenu(const std::string& appFolder, LanguageMenu& menu, uint32_t commandId,
                                const std::string& itemName, LanguageState& state);

// Section of a dialog's retitling texts: "Download" (101), "FileSetup"
// (130), "About" (100), "Wait" (134), "configdownfile" (137); empty
// otherwise.
std::string DialogSection(int dialogId);
// Key of a popup menu item: parent key, "|", position.
std::string MenuPopupKey(const std::string& parentKey, unsigned position);
// A retitling text: the non-empty value of the key (at most 1,023 bytes),
// or nullopt when the text is to be left as it is.
std::optional<std::string> RetitleText(const ProfileDocument& lng, const std::string& section,
                                       const std::string& key);

}  // namespace flashery
