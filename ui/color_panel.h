// ColorPanel: the read-only status line of a port panel, painted in the
// panel's colour (grey without a handset, its own colours when bound,
// running, succeeded or failed).
//
// SetBackgroundColor takes the platform's 0x00BBGGRR value; 0xFFFFFFFF
// means the system's button face colour. The text is shown in the
// system's button text colour. The blinking of the original control
// (alternate colours on a timer) is not offered: nothing turns it on.
#pragma once

#include <QColor>
#include <QLineEdit>
#include <cstdint>

namespace flashery {

inline constexpr uint32_t kSystemButtonFace = 0xFFFFFFFF;

class ColorPanel : public QLineEdit {
  Q_OBJECT
 public:
  explicit ColorPanel(QWidget* parent = nullptr);
  void SetBackgroundColor(uint32_t colorRef);
  QColor backgroundColor() const { return back_; }

 private:
  QColor back_;
};

}  // namespace flashery
