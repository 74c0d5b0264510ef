#include "platform/qt/qt_prompts.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QMetaObject>
#include <QThread>

namespace zorvan {

PromptAnswer QtPrompts::messageBox(const std::string& caption, const std::string& text, PromptIcon icon,
                                   PromptButtons buttons) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app == nullptr || QThread::currentThread() == app->thread()) return show(caption, text, icon, buttons);
    if (buttons == PromptButtons::Ok) {
        QMetaObject::invokeMethod(app, [this, caption, text, icon, buttons] { show(caption, text, icon, buttons); },
                                  Qt::QueuedConnection);
        return PromptAnswer::Ok;
    }
    PromptAnswer answer = PromptAnswer::Cancel;
    QMetaObject::invokeMethod(app, [&] { answer = show(caption, text, icon, buttons); },
                              Qt::BlockingQueuedConnection);
    return answer;
}

PromptAnswer QtPrompts::show(const std::string& caption, const std::string& text, PromptIcon icon,
                             PromptButtons buttons) {
    QMessageBox box(parent_);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (icon) {
        case PromptIcon::None: box.setIcon(QMessageBox::NoIcon); break;
        case PromptIcon::Information: box.setIcon(QMessageBox::Information); break;
        case PromptIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case PromptIcon::Error: box.setIcon(QMessageBox::Critical); break;
        case PromptIcon::Question: box.setIcon(QMessageBox::Question); break;
    }
    switch (buttons) {
        case PromptButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case PromptButtons::OkCancel: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
        case PromptButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case PromptButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Yes: return PromptAnswer::Yes;
        case QMessageBox::No: return PromptAnswer::No;
        case QMessageBox::Ok: return PromptAnswer::Ok;
        default: return PromptAnswer::Cancel;
    }
}

std::optional<std::string> QtPrompts::fileDialog(const FileDialogRequest& request, bool save) {
    QFileDialog dialog(parent_, QString::fromStdString(request.caption), QString::fromStdString(request.folder),
                       QString::fromStdString(request.filter));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!request.defaultSuffix.empty()) dialog.setDefaultSuffix(QString::fromStdString(request.defaultSuffix));
    if (!request.defaultName.empty()) dialog.selectFile(QString::fromStdString(request.defaultName));
    if (save && !request.confirmOverwrite) dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QDir::toNativeSeparators(dialog.selectedFiles().first()).toStdString();
}

std::optional<std::string> QtPrompts::saveFile(const FileDialogRequest& request) { return fileDialog(request, true); }

std::optional<std::string> QtPrompts::openFile(const FileDialogRequest& request) { return fileDialog(request, false); }

std::optional<std::string> QtPrompts::chooseFolder(const std::string& start) {
    const QString folder =
        QFileDialog::getExistingDirectory(parent_, QStringLiteral("Select folder"), QString::fromStdString(start));
    if (folder.isEmpty()) return std::nullopt;
    return folder.toStdString();
}

std::optional<int> QtPrompts::popupMenu(const std::vector<std::string>& items) {
    QMenu menu(parent_);
    for (std::size_t i = 0; i < items.size(); ++i) {
        menu.addAction(QString::fromStdString(items[i]))->setData(static_cast<int>(i));
    }
    const QAction* chosen = menu.exec(QCursor::pos());
    if (chosen == nullptr) return std::nullopt;
    return chosen->data().toInt();
}

}  // namespace zorvan
