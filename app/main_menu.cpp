#include "app/main_menu.h"

namespace flashery {
namespace {

MenuItem Command(std::string text, uint32_t id) {
  MenuItem m;
  m.text = std::move(text);
  m.commandId = id;
  return m;
}

MenuItem Popup(std::string text, std::vector<MenuItem> children) {
  MenuItem m;
  m.text = std::move(text);
  m.children = std::move(children);
  return m;
}

MenuItem Separator() {
  MenuItem m;
  m.separator = true;
  return m;
}

void RetitleLevel(MenuItem& menu, const ProfileDocument& lng, const std::string& prefix) {
  for (unsigned pos = 0; pos < menu.children.size(); ++pos) {
    MenuItem& item = menu.children[pos];
    if (item.separator) continue;
    std::string key = item.popup() ? MenuPopupKey(prefix, pos) : std::to_string(item.commandId);
    if (auto text = RetitleText(lng, "128", key)) item.text = *text;
    if (item.popup()) RetitleLevel(item, lng, key);
  }
}

// Built-in texts: popups by position, command items by command id.
void RestoreLevel(MenuItem& live, const MenuItem& builtIn, const MenuItem& builtInBar) {
  for (size_t pos = 0; pos < live.children.size() && pos < builtIn.children.size(); ++pos) {
    MenuItem& item = live.children[pos];
    const MenuItem& original = builtIn.children[pos];
    if (item.separator) continue;
    if (item.popup()) {
      if (original.popup()) {
        item.text = original.text;
        RestoreLevel(item, original, builtInBar);
      }
    } else {
      std::string text = MenuTextOfCommand(builtInBar, item.commandId);
      if (!text.empty()) item.text = text;
    }
  }
}

bool IsLanguageCommand(uint32_t id) { return id >= kFirstLanguageCommand && id <= kLastLanguageCommand; }

}  // namespace

MenuItem BuiltInMainMenu() {
  MenuItem bar;
  bar.children.push_back(Popup("文件(&F)", {Separator(), Command("退出(&X)", kCommandExit)}));
  bar.children.push_back(Command("下载配置", kCommandDownloadConfig));
  bar.children.push_back(Popup("语言", {Command("简体中文", kFirstLanguageCommand),
                                         Command("English", kFirstLanguageCommand + 1)}));
  bar.children.push_back(Popup("帮助(&H)", {Command("关于 Flashery(&A)...", kCommandAbout)}));
  return bar;
}

void AddLanguageItems(MenuItem& bar, const LanguageMenu& languages) {
  if (bar.children.size() <= kLanguagePopupPosition) return;
  MenuItem& popup = bar.children[kLanguagePopupPosition];
  if (languages.separatorBeforeFiles) popup.children.push_back(Separator());
  for (const auto& item : languages.appended) popup.children.push_back(Command(item.name, item.commandId));
  CheckLanguageItem(bar, languages.selectedId);
}

void CheckLanguageItem(MenuItem& bar, uint32_t selectedId) {
  for (MenuItem& item : bar.children) {
    if (item.popup()) CheckLanguageItem(item, selectedId);
    else if (IsLanguageCommand(item.commandId)) item.checked = item.commandId == selectedId;
  }
}

std::string MenuTextOfCommand(const MenuItem& bar, uint32_t commandId) {
  for (const MenuItem& item : bar.children) {
    if (item.popup()) {
      std::string t = MenuTextOfCommand(item, commandId);
      if (!t.empty()) return t;
    } else if (!item.separator && item.commandId == commandId) {
      return item.text;
    }
  }
  return "";
}

void RetitleMenu(MenuItem& bar, const ProfileDocument& lng) { RetitleLevel(bar, lng, ""); }

void RestoreMenuTexts(MenuItem& bar) {
  MenuItem builtIn = BuiltInMainMenu();
  RestoreLevel(bar, builtIn, builtIn);
}

void RetitleMenuFromFile(MenuItem& bar, const std::string& lngPath) {
  if (lngPath.empty()) RestoreMenuTexts(bar);
  else RetitleMenu(bar, LoadLanguageDocument(lngPath));
}

}  // namespace flashery
