#include "ui/login_dialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "text/prompter.h"
#include "ui/control_id.h"
#include "ui/qt_text.h"

namespace flashery {

LoginDialog::LoginDialog(int languageId, std::string storedPassword, Prompter& prompter, QWidget* parent)
    : QDialog(parent), storedPassword_(std::move(storedPassword)), prompter_(prompter), languageId_(languageId) {
  LoginTexts t = LoginTemplateTexts();
  setWindowTitle(Qs(t.caption));
  SetControlId(this, 0);

  user_ = new QComboBox(this);
  user_->setEditable(true);
  user_->setInsertPolicy(QComboBox::NoInsert);
  SetControlId(user_, 1002);
  password_ = new QLineEdit(this);
  password_->setEchoMode(QLineEdit::Password);
  SetControlId(password_, 1003);
  userLabel_ = new QLabel(Qs(t.userLabel), this);
  SetControlId(userLabel_, 1085);
  passwordLabel_ = new QLabel(Qs(t.passwordLabel), this);
  SetControlId(passwordLabel_, 1086);
  ok_ = new QPushButton(Qs(t.okButton), this);
  ok_->setDefault(true);
  SetControlId(ok_, 1);
  cancel_ = new QPushButton(Qs(t.cancelButton), this);
  SetControlId(cancel_, 2);

  auto* languageBox = new QGroupBox(QStringLiteral("Language"), this);
  SetControlId(languageBox, 1084);
  chinese_ = new QRadioButton(Qs(t.chineseRadio), languageBox);
  SetControlId(chinese_, 1082);
  english_ = new QRadioButton(Qs(t.englishRadio), languageBox);
  SetControlId(english_, 1083);
  taiwan_ = new QRadioButton(Qs(t.taiwanRadio), languageBox);
  SetControlId(taiwan_, 1087);
  auto* radios = new QHBoxLayout;
  radios->addWidget(chinese_);
  radios->addWidget(english_);
  radios->addWidget(taiwan_);
  languageBox->setLayout(radios);

  auto* fields = new QGridLayout;
  fields->addWidget(userLabel_, 0, 0);
  fields->addWidget(user_, 0, 1);
  fields->addWidget(passwordLabel_, 1, 0);
  fields->addWidget(password_, 1, 1);
  fields->setColumnStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);
  auto* column = new QVBoxLayout;
  column->addLayout(fields);
  column->addWidget(languageBox);
  column->addLayout(buttons);
  setLayout(column);
  setMinimumWidth(460);

  connect(ok_, &QPushButton::clicked, this, &LoginDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &LoginDialog::reject);
  connect(chinese_, &QRadioButton::clicked, this, [this] { ApplyTexts(LoginLanguage::SimplifiedChinese); });
  connect(english_, &QRadioButton::clicked, this, [this] { ApplyTexts(LoginLanguage::English); });
  connect(taiwan_, &QRadioButton::clicked, this, [this] { ApplyTexts(LoginLanguage::TraditionalChinese); });
  connect(user_, qOverload<int>(&QComboBox::currentIndexChanged), this, &LoginDialog::OnUserChanged);
  ApplyTexts(LoginLanguageForId(languageId));
  OnUserChanged(user_->currentIndex());
}

QRadioButton* LoginDialog::radio(LoginLanguage l) const {
  switch (l) {
    case LoginLanguage::SimplifiedChinese: return chinese_;
    case LoginLanguage::English: return english_;
    case LoginLanguage::TraditionalChinese: return taiwan_;
  }
  return chinese_;
}

void LoginDialog::ApplyTexts(LoginLanguage language) {
  LoginTexts t = LoginTextsFor(language);
  radio(language)->setChecked(true);
  setWindowTitle(Qs(t.caption));
  userLabel_->setText(Qs(t.userLabel));
  passwordLabel_->setText(Qs(t.passwordLabel));
  ok_->setText(Qs(t.okButton));
  cancel_->setText(Qs(t.cancelButton));
  chinese_->setText(Qs(t.chineseRadio));
  taiwan_->setText(Qs(t.taiwanRadio));
  {
    QSignalBlocker block(user_);
    user_->clear();
    user_->addItem(Qs(t.operatorItem));
    user_->addItem(Qs(t.administratorItem));
    user_->setCurrentIndex(0);
  }
  languageId_ = t.languageId;
  OnUserChanged(0);
}

void LoginDialog::OnUserChanged(int index) {
  chosenUser_ = index >= 0 ? Utf8(user_->itemText(index)) : std::string();
  if (IsAdministratorName(chosenUser_)) {
    password_->setEnabled(true);
    password_->setFocus();
  } else {
    password_->setEnabled(false);
    password_->clear();
    ok_->setFocus();
  }
}

void LoginDialog::accept() {
  // The combo box has an edit field: the user is the item whose text it
  // shows; typed text that names no item counts as no selection.
  int sel = user_->currentIndex();
  if (sel < 0 || user_->currentText() != user_->itemText(sel))
    sel = user_->findText(user_->currentText(), Qt::MatchExactly);
  std::string user = sel >= 0 ? Utf8(user_->itemText(sel)) : std::string();
  LoginVerdict v = DecideLogin(sel, user, Utf8(password_->text()), languageId_, storedPassword_);
  if (!v.accepted) {
    prompter_.Prompt(v.message, v.caption.empty() ? kAppTitle : v.caption);
    return;
  }
  chosenUser_ = user;
  if (onAccepted) onAccepted(languageId_);
  QDialog::accept();
}

}  // namespace flashery
