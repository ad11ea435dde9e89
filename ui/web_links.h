// Opening the two web pages of the window's link buttons.
#ifndef RFSPLITTER_UI_WEB_LINKS_H_
#define RFSPLITTER_UI_WEB_LINKS_H_

#include <QString>
#include <QUrl>

class QWidget;

namespace rfsplitter {

// Opens `address` the desktop's own way (a new browser window or tab) without
// waiting for the page. When no browser can be started, says so in a message
// box over `parent`; the program goes on.
void OpenWebAddress(QWidget* parent, const QUrl& address);

// The address's host without its top-level domain: "www.talvaine" for
// https://www.talvaine.com/.
QString HostWithoutTopLevelDomain(const QUrl& address);

}  // namespace rfsplitter

#endif  // RFSPLITTER_UI_WEB_LINKS_H_
