// Control ids on widgets: the number by which a language file retitles a
// control ("Download" section key "1049" for the first port's group box,
// key "0" for a dialog's caption). Kept as a dynamic property, so any
// widget can carry one.
#pragma once

#include <QObject>
#include <optional>

namespace flashery {

inline constexpr const char* kControlIdProperty = "flasheryControlId";
// The id the main frame gives its form view (the first pane).
inline constexpr int kViewPaneId = 59648;

inline void SetControlId(QObject* w, int id) { w->setProperty(kControlIdProperty, id); }
inline std::optional<int> ControlIdOf(const QObject* w) {
  QVariant v = w->property(kControlIdProperty);
  if (!v.isValid()) return std::nullopt;
  return v.toInt();
}

}  // namespace flashery
