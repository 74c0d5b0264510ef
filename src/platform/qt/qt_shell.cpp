#include "platform/qt/qt_shell.h"

#include <QDesktopServices>
#include <QUrl>

namespace zorvan {

void QtShell::Open(const std::string& urlOrPath) {
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(urlOrPath)));
}

}  // namespace zorvan
