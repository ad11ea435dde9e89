// Every message box of the program goes through here, so that a test can
// answer it instead of a person.
#ifndef RFSPLITTER_UI_MESSAGE_BOXES_H_
#define RFSPLITTER_UI_MESSAGE_BOXES_H_

#include <QString>
#include <functional>

class QWidget;

namespace rfsplitter {

enum class MessageKind { kWarning, kError };

// Shows a modal box with one OK button and the application's name as title,
// and returns when it is closed.
void ShowMessage(QWidget* parent, MessageKind kind, const QString& text);

// Replaces the box by `handler` (an empty one restores the box).
using MessageHandler = std::function<void(QWidget* parent, MessageKind kind, const QString& text)>;
void SetMessageHandler(MessageHandler handler);

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_MESSAGE_BOXES_H_
