#include "ui/bench_fields.h"

#include <QComboBox>
#include <QLineEdit>
#include <QObject>

#include "engine/si_value.h"
#include "ui/localized.h"

namespace rfsplitter {

QString Typed(const QString& text) {
  constexpr int kLongest = 24;
  return text.size() <= kLongest ? text : text.left(kLongest - 1) + QChar(0x2026);
}

void MarkValid(QLineEdit* edit, bool valid) {
  edit->setStyleSheet(valid ? QString()
                            : QStringLiteral("QLineEdit { border: 2px solid #d62728; }"));
}

double FieldNumber(QLineEdit* edit, double low, double high, const QString& what, double fallback,
                   QStringList& problems) {
  const std::string text = Unlocalized(edit->text());
  std::string error;
  const std::optional<SiValue> v = ParseSiValue(text, error);
  const bool ok = v && v->value >= low && v->value <= high;
  MarkValid(edit, ok || text.empty());
  if (!ok && !text.empty()) {
    problems << QObject::tr("%1 \"%2\" is not a number from %3 to %4")
                    .arg(what, Typed(edit->text()), QLocale().toString(low),
                         QLocale().toString(high));
  }
  return ok ? v->value : fallback;
}

QString SessionOption(const Session& session, const char* name) {
  const auto at = session.options.find(name);
  return at == session.options.end() ? QString() : Localized(at->second);
}

void SetSessionOption(Session& session, const char* name, const QString& typed) {
  const std::string text = Unlocalized(typed);
  if (!text.empty()) session.options[name] = text;
}

void ChooseItem(QComboBox* box, const QString& text, int otherwise, QStringList& notes) {
  const int index = text.isEmpty() ? otherwise : box->findText(text, Qt::MatchFixedString);
  box->setCurrentIndex(index >= 0 ? index : otherwise);
  if (index < 0 && !text.isEmpty()) {
    notes << QObject::tr("\"%1\" is not offered here").arg(text);
  }
}

}  // namespace rfsplitter
