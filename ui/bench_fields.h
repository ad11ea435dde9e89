// What the bench's panels share in reading what the user typed and in
// writing it to a session: a field's number in the value grammar, the
// marking of a field that does not read, the quoting of a typed text.
#ifndef RFSPLITTER_UI_BENCH_FIELDS_H_
#define RFSPLITTER_UI_BENCH_FIELDS_H_

#include <QString>
#include <QStringList>
#include <string>

#include "engine/netlist.h"
#include "study/session.h"

class QComboBox;
class QLineEdit;

namespace rfsplitter {

inline QString FromStd(const std::string& text) { return QString::fromStdString(text); }

// The parts' kinds in the bench's order: inductors, capacitors, resistors.
inline constexpr ElementKind kBenchKinds[] = {ElementKind::kInductor, ElementKind::kCapacitor,
                                              ElementKind::kResistor};

// What the user typed, as a message quotes it: at most 24 characters, so
// that a long text never widens the window.
QString Typed(const QString& text);

// A red frame round a field whose text does not read.
void MarkValid(QLineEdit* edit, bool valid);

// The number typed in `edit` (the value grammar, the user's separator)
// from `low` to `high`, else `fallback`; an empty field is no fault, any
// other that does not read is marked and said in `problems` as `what`.
double FieldNumber(QLineEdit* edit, double low, double high, const QString& what, double fallback,
                   QStringList& problems);

// A session's option `name` as the user would type it, or empty.
QString SessionOption(const Session& session, const char* name);
// A field's text into `session` as option `name`, unless empty.
void SetSessionOption(Session& session, const char* name, const QString& typed);
// `box` at the item reading `text` (any case), or at `otherwise`; an item
// the box does not offer is said in `notes`.
void ChooseItem(QComboBox* box, const QString& text, int otherwise, QStringList& notes);

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_BENCH_FIELDS_H_
