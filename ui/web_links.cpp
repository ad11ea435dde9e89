#include "ui/web_links.h"

#include <QDesktopServices>

#include "ui/message_boxes.h"

namespace rfsplitter {

void OpenWebAddress(QWidget* parent, const QUrl& address) {
  if (!QDesktopServices::openUrl(address)) {
    ShowMessage(
        parent, MessageKind::kError,
        QStringLiteral("No web browser could be started to show %1").arg(address.toString()));
  }
}

QString HostWithoutTopLevelDomain(const QUrl& address) {
  const QString host = address.host();
  const qsizetype dot = host.lastIndexOf(QLatin1Char('.'));
  return dot < 0 ? host : host.left(dot);
}

}  // namespace rfsplitter
