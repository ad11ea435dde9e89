// Numbers the program writes with a point, shown in the user's decimal
// separator; and numbers the user types in it, read back with a point. The
// files keep the point.
#ifndef RFSPLITTER_UI_LOCALIZED_H_
#define RFSPLITTER_UI_LOCALIZED_H_

#include <QLocale>
#include <QString>
#include <string>
#include <string_view>

namespace rfsplitter {

// A point between two digits becomes the locale's separator ("433.92 MHz"
// -> "433,92 MHz"); every other point ("parts.txt") stays.
inline QString Localized(std::string_view text, const QLocale& locale = QLocale()) {
  QString shown = QString::fromUtf8(text.data(), qsizetype(text.size()));
  const QString point = locale.decimalPoint();
  if (point == QStringLiteral(".")) return shown;
  for (qsizetype i = 1; i + 1 < shown.size(); ++i) {
    if (shown[i] == QLatin1Char('.') && shown[i - 1].isDigit() && shown[i + 1].isDigit()) {
      shown.replace(i, 1, point);
    }
  }
  return shown;
}

// A typed value in the locale's separator, for the value grammar.
inline std::string Unlocalized(const QString& text, const QLocale& locale = QLocale()) {
  QString typed = text.trimmed();
  const QString point = locale.decimalPoint();
  if (point != QStringLiteral(".")) typed.replace(point, QStringLiteral("."));
  return typed.toStdString();
}

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_LOCALIZED_H_
