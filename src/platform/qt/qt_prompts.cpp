#include "platform/qt/qt_prompts.h"

#include <QCoreApplication>
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

}  // namespace zorvan
