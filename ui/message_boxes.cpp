#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

namespace rfsplitter {
namespace {

MessageHandler& Handler() {
  static MessageHandler handler;
  return handler;
}

}  // namespace

void ShowMessage(QWidget* parent, MessageKind kind, const QString& text) {
  if (Handler()) return Handler()(parent, kind, text);
  QMessageBox box(kind == MessageKind::kWarning ? QMessageBox::Warning : QMessageBox::Critical,
                  QApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
  box.exec();
}

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

}  // namespace rfsplitter
