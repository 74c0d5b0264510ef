#include "ui/dlg_dial_pad.h"

#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/clickable_label.h"

namespace zorvan::ui {

QPoint DockedPosition(const QRect& ownerFrame, int gapX, int gapY) {
    return {ownerFrame.x() + ownerFrame.width() + gapX, ownerFrame.y() + gapY};
}

CDlgDialPad::CDlgDialPad(QWidget* owner, int gapX, int gapY, KeyFn onKey)
    : QDialog(owner, Qt::Tool), owner_(owner), gapX_(gapX), gapY_(gapY), onKey_(std::move(onKey)) {
    setWindowTitle(QStringLiteral("Dial Pad"));
    auto* layout = new QVBoxLayout(this);
    auto* display = new ClickableLabel(this);
    display->setObjectName(QStringLiteral("dialPadDisplay"));
    display->setMinimumHeight(26);
    display->setFrameShape(QFrame::StyledPanel);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(display, &ClickableLabel::clicked, this, &CDlgDialPad::ClearDisplay);
    display_ = display;
    layout->addWidget(display_);
    auto* keys = new QGridLayout;
    const char labels[] = "123456789*0#";
    for (int i = 0; i < 12; ++i) {
        const char key = labels[i];
        auto* button = new QPushButton(QString(QChar(key)), this);
        button->setObjectName(QStringLiteral("key%1").arg(QChar(key)));
        button->setMinimumSize(44, 34);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, key] { Press(key); });
        keys->addWidget(button, i / 3, i % 3);
    }
    layout->addLayout(keys);
    if (owner_ != nullptr) owner_->installEventFilter(this);
}

CDlgDialPad::~CDlgDialPad() {
    if (owner_ != nullptr) owner_->removeEventFilter(this);
}

QString CDlgDialPad::display() const { return display_->text(); }

void CDlgDialPad::ClearDisplay() { display_->clear(); }

void CDlgDialPad::Press(char key) {
    display_->setText(display_->text() + QChar(key));
    if (onKey_) onKey_(key);
}

void CDlgDialPad::Toggle() {
    if (isVisible()) {
        hide();
        return;
    }
    FollowOwner();
    show();
}

void CDlgDialPad::FollowOwner() {
    // Under Wayland windows cannot place themselves: the pad stays free.
    if (owner_ == nullptr || QGuiApplication::platformName() == QLatin1String("wayland")) return;
    move(DockedPosition(owner_->frameGeometry(), gapX_, gapY_));
}

bool CDlgDialPad::eventFilter(QObject* watched, QEvent* event) {
    if (watched == owner_) {
        switch (event->type()) {
            case QEvent::Move:
            case QEvent::Resize:
                FollowOwner();
                break;
            case QEvent::Hide:
                shownWithOwner_ = isVisible();
                hide();
                break;
            case QEvent::Show:
                if (shownWithOwner_) {
                    FollowOwner();
                    show();
                }
                break;
            default:
                break;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CDlgDialPad::keyPressEvent(QKeyEvent* event) {
    // Typed keys work like the buttons; Enter and Escape do not close it.
    const QString text = event->text();
    if (text.size() == 1 && QStringLiteral("0123456789*#").contains(text)) {
        Press(text[0].toLatin1());
        return;
    }
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) return;
    QDialog::keyPressEvent(event);
}

}  // namespace zorvan::ui
