#include "app/login_logic.h"

#include "app/admin_password.h"

namespace flashery {

LoginTexts LoginTemplateTexts() {
  LoginTexts t;
  t.caption = "Welcome to use vantor downloader for Android platform";
  t.userLabel = "user:";
  t.passwordLabel = "Password:";
  t.okButton = "Login";
  t.cancelButton = "Cancel";
  t.chineseRadio = "Chinese";
  t.englishRadio = "English";
  t.taiwanRadio = "繁体中文";
  t.operatorItem = "操作员";
  t.administratorItem = "管理员";
  t.languageId = 0;
  return t;
}

LoginTexts LoginTextsFor(LoginLanguage language) {
  LoginTexts t;
  t.englishRadio = "English";  // the radio keeps its template text in every set
  switch (language) {
    case LoginLanguage::English:
      t.caption = "Welcome to use vantor downloader for Android platform";
      t.userLabel = "Username:";
      t.passwordLabel = "Password：";
      t.okButton = "Login";
      t.cancelButton = "Cancel";
      t.chineseRadio = "Chinese";
      t.taiwanRadio = "Taiwan";
      t.operatorItem = "Operator";
      t.administratorItem = "Administrator";
      t.languageId = 1033;
      break;
    case LoginLanguage::TraditionalChinese:
      t.caption = "歡迎使用 寧川 Android平臺下載軟件";
      t.userLabel = "用戶名：";
      t.passwordLabel = "密碼：";
      t.okButton = "登錄";
      t.cancelButton = "退出";
      t.chineseRadio = "简体中文";
      t.taiwanRadio = "繁體中文";
      t.operatorItem = "操作员";
      t.administratorItem = "管理员";
      t.languageId = 1028;
      break;
    case LoginLanguage::SimplifiedChinese:
      t.caption = "欢迎使用 宁川 Android平台 PC下载升级 软件";
      t.userLabel = "用户名：";
      t.passwordLabel = "密码：";
      t.okButton = "登陆";
      t.cancelButton = "退出";
      t.chineseRadio = "简体中文";
      t.taiwanRadio = "繁体中文";
      t.operatorItem = "操作员";
      t.administratorItem = "管理员";
      t.languageId = 2052;
      break;
  }
  return t;
}

LoginLanguage LoginLanguageForId(int languageId) {
  if (languageId == 1028) return LoginLanguage::TraditionalChinese;
  if (languageId == 1033) return LoginLanguage::English;
  return LoginLanguage::SimplifiedChinese;
}

bool IsAdministratorName(const std::string& userName) {
  return userName == "管理员" || userName == "Administrator";
}

LoginVerdict DecideLogin(int selectedIndex, const std::string& userName, const std::string& password,
                         int languageId, const std::string& storedPasswordSetting) {
  LoginVerdict v;
  bool chinese = languageId == 2052;
  if (selectedIndex < 0) {
    v.message = chinese ? "用户名不能为空！" : "user name null！";
    return v;
  }
  if (IsAdministratorName(userName) && !AdminPasswordAccepted(password, storedPasswordSetting)) {
    v.message = userName + (chinese ? "密码错误，请重试" : "  wrong password!");
    v.caption = chinese ? "登录失败" : "ERROR";
    v.informationIcon = true;
    return v;
  }
  v.accepted = true;
  return v;
}

}  // namespace flashery
