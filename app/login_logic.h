// The login's decisions, without widgets: the three text sets of the login
// dialog, which user names are administrators, and what pressing Login
// does (accept, or which message to show with which caption).
//
// Language ids: 2052 simplified Chinese, 1033 English, 1028 traditional
// Chinese; the dialog opens in the set of the stored language (1028 and
// 1033 choose theirs, anything else the simplified Chinese set). The role
// names stay in simplified characters in the traditional set, so they are
// recognised in every set. Only 2052 selects the Chinese messages.
#pragma once

#include <cstdint>
#include <string>

namespace flashery {

enum class LoginLanguage { SimplifiedChinese, English, TraditionalChinese };

struct LoginTexts {
  std::string caption, userLabel, passwordLabel, okButton, cancelButton;
  std::string chineseRadio, englishRadio, taiwanRadio;
  std::string operatorItem, administratorItem;
  uint16_t languageId = 0;
};

// The dialog's built-in texts before a set is applied (its template).
LoginTexts LoginTemplateTexts();
LoginTexts LoginTextsFor(LoginLanguage language);
LoginLanguage LoginLanguageForId(int languageId);

bool IsAdministratorName(const std::string& userName);

struct LoginVerdict {
  bool accepted = false;
  std::string message;  // shown when not accepted
  std::string caption;  // the application title when empty
  bool informationIcon = false;
};

// selectedIndex: the combo box's selection (-1: none); userName: the text
// of that item; storedPasswordSetting: see admin_password.h.
LoginVerdict DecideLogin(int selectedIndex, const std::string& userName, const std::string& password,
                         int languageId, const std::string& storedPasswordSetting);

}  // namespace flashery
