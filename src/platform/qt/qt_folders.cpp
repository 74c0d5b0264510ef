#include "platform/qt/qt_folders.h"

#include <QStandardPaths>

namespace zorvan {

std::string QtFolders::documents() const {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation).toStdString();
}

std::string QtFolders::config() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation).toStdString();
}

}  // namespace zorvan
