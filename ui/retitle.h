// Retitling of dialogs and of the main form from the active language file:
// the widget itself and every descendant that carries a control id take
// the non-empty text of their key in the dialog's section (a dialog's
// caption is key "0"), and, when the language file names a font, every
// widget takes that font. Without an active language file nothing changes.
#pragma once

#include <QWidget>
#include <optional>

#include "text/language.h"

namespace flashery {

// dialogId: 100 About, 101 the main form, 130, 134 Wait, 137.
void RetitleDialog(QWidget* dialog, int dialogId, const LanguageState& language);
// The QFont of a language file's font, or nullopt.
std::optional<QFont> QFontOf(const std::optional<UiFont>& font);

}  // namespace flashery
