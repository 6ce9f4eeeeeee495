// The login dialog: who works with the station (operator, or administrator
// with the password) and in which of three languages the dialog speaks.
// A language radio applies its text set at once, resets the user to the
// operator and empties the password; the chosen language id is stored as
// currentLang when the login is accepted. The decisions are those of
// app/login_logic.h; messages go through the Prompter.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <string>

#include "app/login_logic.h"

namespace flashery {

class Prompter;
struct DownloadSelection;

class LoginDialog : public QDialog {
  Q_OBJECT
 public:
  // languageId: the stored language (2052 when unset). storedPassword: the
  // administrator password setting (admin_password.h).
  LoginDialog(int languageId, std::string storedPassword, Prompter& prompter, QWidget* parent = nullptr);

  // Called when the login is accepted, before the dialog closes (saves the
  // settings with the chosen language).
  std::function<void(int languageId)> onAccepted;

  int languageId() const { return languageId_; }
  const std::string& chosenUser() const { return chosenUser_; }

  QComboBox* userBox() const { return user_; }
  QLineEdit* passwordEdit() const { return password_; }
  QPushButton* okButton() const { return ok_; }
  QRadioButton* radio(LoginLanguage l) const;

  void accept() override;

 private:
  void ApplyTexts(LoginLanguage language);
  void OnUserChanged(int index);

  std::string storedPassword_;
  Prompter& prompter_;
  int languageId_;
  std::string chosenUser_;
  QComboBox* user_;
  QLineEdit* password_;
  QLabel* userLabel_;
  QLabel* passwordLabel_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QRadioButton* chinese_;
  QRadioButton* english_;
  QRadioButton* taiwan_;
};

}  // namespace flashery
