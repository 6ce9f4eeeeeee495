#include <gtest/gtest.h>

#include <QTimer>

#include "app/admin_password.h"
#include "text/prompter.h"
#include "ui/gui_prompter.h"
#include "ui/login_dialog.h"
#include "ui/qt_text.h"
#include "ui/tests/modal_answer.h"

namespace flashery {
namespace {

TEST(LoginDialog, OperatorNeedsNoPasswordAndTheFieldStaysEmptyAndDisabled) {
  RecordingPrompter prompter;
  LoginDialog login(2052, "", prompter);
  int savedLanguage = -1;
  login.onAccepted = [&](int id) { savedLanguage = id; };
  EXPECT_EQ(Utf8(login.windowTitle()), "欢迎使用 宁川 Android平台 PC下载升级 软件");
  EXPECT_EQ(login.userBox()->currentIndex(), 0);
  EXPECT_EQ(Utf8(login.userBox()->currentText()), "操作员");
  EXPECT_FALSE(login.passwordEdit()->isEnabled());

  // Text put into the field while the administrator was chosen is gone
  // once the operator is chosen again.
  login.userBox()->setCurrentIndex(1);
  EXPECT_TRUE(login.passwordEdit()->isEnabled());
  login.passwordEdit()->setText("secret");
  login.userBox()->setCurrentIndex(0);
  EXPECT_FALSE(login.passwordEdit()->isEnabled());
  EXPECT_TRUE(login.passwordEdit()->text().isEmpty());

  login.okButton()->click();
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(login.chosenUser(), "操作员");
  EXPECT_EQ(savedLanguage, 2052);
  EXPECT_TRUE(prompter.records().empty());
}

TEST(LoginDialog, AdministratorWrongThenRightPasswordInAnyCase) {
  RecordingPrompter prompter;
  LoginDialog login(1033, "", prompter);
  EXPECT_EQ(Utf8(login.userBox()->itemText(1)), "Administrator");
  login.userBox()->setCurrentIndex(1);
  login.passwordEdit()->setText("747");
  login.okButton()->click();
  EXPECT_NE(login.result(), QDialog::Accepted);
  ASSERT_EQ(prompter.records().size(), 1u);
  EXPECT_EQ(prompter.records()[0].text, "Administrator  wrong password!");
  EXPECT_EQ(prompter.records()[0].caption, "ERROR");

  login.passwordEdit()->setText("746");
  login.okButton()->click();
  EXPECT_EQ(login.result(), QDialog::Accepted);
  EXPECT_EQ(login.chosenUser(), "Administrator");
  EXPECT_EQ(prompter.records().size(), 1u);
}

TEST(LoginDialog, StoredHashReplacesTheBuiltInPassword) {
  RecordingPrompter prompter;
  LoginDialog login(2052, FormatAdminPasswordHash("Qu1llon", "s4lt", 10), prompter);
  login.userBox()->setCurrentIndex(1);
  login.passwordEdit()->setText("746");
  login.okButton()->click();
  EXPECT_NE(login.result(), QDialog::Accepted);
  ASSERT_EQ(prompter.records().size(), 1u);
  EXPECT_EQ(prompter.records()[0].text, "管理员密码错误，请重试");  // the message of any wrong password
  EXPECT_EQ(prompter.records()[0].caption, "登录失败");
  login.passwordEdit()->setText("Qu1llon");
  login.okButton()->click();
  EXPECT_EQ(login.result(), QDialog::Accepted);
}

TEST(LoginDialog, LanguageRadiosSwitchTextsAndResetTheUser) {
  RecordingPrompter prompter;
  LoginDialog login(2052, "", prompter);
  login.userBox()->setCurrentIndex(1);
  login.passwordEdit()->setText("746");

  login.radio(LoginLanguage::English)->click();
  EXPECT_EQ(login.languageId(), 1033);
  EXPECT_EQ(Utf8(login.windowTitle()), "Welcome to use vantor downloader for Android platform");
  EXPECT_EQ(Utf8(login.okButton()->text()), "Login");
  EXPECT_EQ(login.userBox()->currentIndex(), 0);
  EXPECT_EQ(Utf8(login.userBox()->currentText()), "Operator");
  EXPECT_TRUE(login.passwordEdit()->text().isEmpty());
  EXPECT_FALSE(login.passwordEdit()->isEnabled());
  EXPECT_EQ(Utf8(login.radio(LoginLanguage::TraditionalChinese)->text()), "Taiwan");

  // Traditional Chinese keeps the role names in simplified characters.
  login.radio(LoginLanguage::TraditionalChinese)->click();
  EXPECT_EQ(login.languageId(), 1028);
  EXPECT_EQ(Utf8(login.userBox()->itemText(1)), "管理员");
  login.userBox()->setCurrentIndex(1);
  EXPECT_TRUE(login.passwordEdit()->isEnabled());
  login.passwordEdit()->setText("x");
  login.okButton()->click();
  ASSERT_EQ(prompter.records().size(), 1u);
  EXPECT_EQ(prompter.records()[0].text, "管理员  wrong password!");  // only 2052 speaks Chinese

  // A typed name that is no item counts as no selection.
  login.userBox()->setEditText("somebody");
  login.okButton()->click();
  ASSERT_EQ(prompter.records().size(), 2u);
  EXPECT_EQ(prompter.records()[1].text, "user name null！");
  EXPECT_EQ(prompter.records()[1].caption, kAppTitle);
  EXPECT_NE(login.result(), QDialog::Accepted);
}

TEST(LoginDialog, ModalBoxesOnTheGuiThreadAreAnsweredAndTheDialogStaysOpen) {
  GuiPrompter prompter;
  testing::ModalAnswerer answerer;
  LoginDialog login(2052, "", prompter);
  QTimer::singleShot(0, &login, [&] {
    login.userBox()->setCurrentIndex(1);
    login.passwordEdit()->setText("000");
    login.okButton()->click();  // a box, answered, and the dialog stays
    login.userBox()->setEditText("");
    login.okButton()->click();  // no user: another box
    login.userBox()->setEditText(QString::fromUtf8("管理员"));  // typed, naming the item
    login.passwordEdit()->setText("746");
    login.okButton()->click();
  });
  EXPECT_EQ(login.exec(), QDialog::Accepted);
  ASSERT_EQ(answerer.seen().size(), 2u);
  EXPECT_EQ(answerer.seen()[0].title, "登录失败");
  EXPECT_EQ(answerer.seen()[0].text, "管理员密码错误，请重试");
  EXPECT_EQ(answerer.seen()[1].title, "Flashery");
  EXPECT_EQ(answerer.seen()[1].text, "用户名不能为空！");
}

TEST(GuiPrompter, AYesNoQuestionDefaultsToNo) {
  GuiPrompter prompter;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box || !box->isVisible()) return;
    // What Enter does; without a default the test takes Yes and fails.
    (box->defaultButton() ? box->defaultButton() : box->button(QMessageBox::Yes))->click();
  });
  timer.start(5);
  for (PromptButtons buttons : {PromptButtons::YesNo, PromptButtons::YesNoCancel})
    EXPECT_EQ(prompter.Prompt("Stop the downloads?", kAppTitle, buttons), kAnswerNo);
}

}  // namespace
}  // namespace flashery
