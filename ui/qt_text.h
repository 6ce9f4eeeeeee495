// UTF-8 std::string <-> QString: every string below ui/ is UTF-8.
#pragma once

#include <QString>
#include <string>

namespace flashery {

inline QString Qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string Utf8(const QString& s) {
  QByteArray b = s.toUtf8();
  return std::string(b.constData(), static_cast<size_t>(b.size()));
}

}  // namespace flashery
