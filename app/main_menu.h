// The main window's menu bar (menu 128) as data, without widgets: the
// built-in items, the language items added at run time, and the retitling
// from a language file. The window front end builds its menus from this
// tree and shows the texts it holds.
//
//   popup 0 "文件(&F)":  separator; "退出(&X)" (57665)
//   1 "下载配置" (32771)
//   popup 2 "语言":      "简体中文" (32772); "English" (32773); the others
//   popup 3 "帮助(&H)":  "关于 Flashery(&A)..." (57664)
//
// Retitling keys (section "128"): a command item by its command id in
// decimal, a popup by its parent's key, "|" and its position ("|0", "|2",
// "|3"; "|0|1" one level down). Separators are skipped but count as
// positions. Without an active language file the built-in texts come back
// (items added at run time keep theirs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "text/language.h"

namespace flashery {

constexpr uint32_t kCommandExit = 57665;
constexpr uint32_t kCommandDownloadConfig = 32771;
constexpr uint32_t kCommandAbout = 57664;
constexpr int kMainMenuId = 128;
constexpr unsigned kLanguagePopupPosition = 2;

struct MenuItem {
  std::string text;
  uint32_t commandId = 0;  // 0 for popups and separators
  bool separator = false;
  bool checked = false;  // radio mark (language items)
  std::vector<MenuItem> children;
  bool popup() const { return !separator && commandId == 0; }
};

MenuItem BuiltInMainMenu();

// Adds the language menu's separator and file items to popup 2 and puts
// the radio mark on its selected id.
void AddLanguageItems(MenuItem& bar, const LanguageMenu& languages);
// Radio mark on `selectedId` among the language items, off elsewhere.
void CheckLanguageItem(MenuItem& bar, uint32_t selectedId);

// The text of the item with that command id anywhere in the tree (empty
// when there is none).
std::string MenuTextOfCommand(const MenuItem& bar, uint32_t commandId);

// Retitles from section "128" of the language document.
void RetitleMenu(MenuItem& bar, const ProfileDocument& lng);
// Puts the built-in texts back.
void RestoreMenuTexts(MenuItem& bar);
// RetitleMenu with the active language file, or RestoreMenuTexts when none.
void RetitleMenuFromFile(MenuItem& bar, const std::string& lngPath);

}  // namespace flashery
