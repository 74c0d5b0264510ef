#pragma once

#include <QLabel>
#include <QMouseEvent>

namespace zorvan::ui {

// A label that reports a left click, like a static control with notify.
class ClickableLabel final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
        QLabel::mouseReleaseEvent(event);
    }
};

}  // namespace zorvan::ui
