#include "ui/message_boxes.h"

#include <QApplication>
#include <QMessageBox>

#include "engine/product.h"

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
                  QString::fromUtf8(kApplicationName.data(), qsizetype(kApplicationName.size())),
                  text, QMessageBox::Ok, parent);
  box.exec();
}

void SetMessageHandler(MessageHandler handler) { Handler() = std::move(handler); }

}  // namespace rfsplitter
