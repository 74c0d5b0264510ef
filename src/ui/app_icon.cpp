#include "ui/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace zorvan::ui {

QIcon AppIcon() {
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 120, 212));
        painter.drawEllipse(QRectF(0.5, 0.5, size - 1.0, size - 1.0));
        // A handset: two rounded ends joined by a bar.
        const double s = size / 16.0;
        painter.setBrush(Qt::white);
        QPainterPath handset;
        handset.addRoundedRect(QRectF(3 * s, 4 * s, 10 * s, 3 * s), 1.5 * s, 1.5 * s);
        handset.addRoundedRect(QRectF(3 * s, 6 * s, 3 * s, 5 * s), 1 * s, 1 * s);
        handset.addRoundedRect(QRectF(10 * s, 6 * s, 3 * s, 5 * s), 1 * s, 1 * s);
        painter.drawPath(handset.simplified());
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace zorvan::ui
