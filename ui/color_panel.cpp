#include "ui/color_panel.h"

#include <QApplication>
#include <QPalette>

#include "app/view_logic.h"

namespace flashery {

ColorPanel::ColorPanel(QWidget* parent) : QLineEdit(parent) {
  setReadOnly(true);
  setFocusPolicy(Qt::NoFocus);
  SetBackgroundColor(kSystemButtonFace);
}

void ColorPanel::SetBackgroundColor(uint32_t colorRef) {
  if (colorRef == kSystemButtonFace) {
    back_ = QApplication::palette().color(QPalette::Button);
  } else {
    Rgb c = RgbOfColorRef(colorRef);
    back_ = QColor(c.r, c.g, c.b);
  }
  QPalette p = palette();
  p.setColor(QPalette::Base, back_);
  p.setColor(QPalette::Window, back_);
  p.setColor(QPalette::Text, QApplication::palette().color(QPalette::ButtonText));
  setPalette(p);
  update();
}

}  // namespace flashery
