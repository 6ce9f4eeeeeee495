#include "ui/retitle.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "ui/control_id.h"
#include "ui/qt_text.h"

namespace flashery {
namespace {

void SetWidgetText(QWidget* w, const QString& text) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) b->setText(text);
  else if (auto* g = qobject_cast<QGroupBox*>(w)) g->setTitle(text);
  else if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  else if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
  else w->setWindowTitle(text);
}

void RetitleOne(QWidget* w, const ProfileDocument& lng, const std::string& section, const std::optional<QFont>& font) {
  if (auto id = ControlIdOf(w)) {
    if (auto text = RetitleText(lng, section, std::to_string(*id))) SetWidgetText(w, Qs(*text));
  }
  if (font) w->setFont(*font);
}

}  // namespace

std::optional<QFont> QFontOf(const std::optional<UiFont>& font) {
  if (!font || font->face.empty()) return std::nullopt;
  QFont f(Qs(font->face));
  if (font->pointSize > 0) f.setPointSize(font->pointSize);
  return f;
}

void RetitleDialog(QWidget* dialog, int dialogId, const LanguageState& language) {
  if (dialog == nullptr || language.lngPath.empty()) return;
  ProfileDocument lng = LoadLanguageDocument(language.lngPath);
  std::string section = DialogSection(dialogId);
  std::optional<QFont> font = QFontOf(language.font);
  RetitleOne(dialog, lng, section, font);
  for (QWidget* child : dialog->findChildren<QWidget*>()) RetitleOne(child, lng, section, font);
}

}  // namespace flashery
