#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

#include <functional>

class QLabel;

namespace zorvan::ui {

// Where a docked pad goes: to the right of its owner's frame, `gapX` pixels
// away, its top `gapY` pixels below the owner's top.
QPoint DockedPosition(const QRect& ownerFrame, int gapX, int gapY);

// "Dial Pad": twelve keys; each is appended to the display and handed on
// (the owner sends the tone to the call in progress). Clicking the display
// clears it. Docked to its owner: it follows the owner when the owner
// moves, is resized, shown or hidden, where the platform lets windows place
// themselves (under Wayland it stays a free tool window).
class CDlgDialPad final : public QDialog {
    Q_OBJECT
public:
    using KeyFn = std::function<void(char key)>;

    CDlgDialPad(QWidget* owner, int gapX, int gapY, KeyFn onKey);
    ~CDlgDialPad() override;

    QString display() const;
    void ClearDisplay();
    void Press(char key);  // as a click on that key
    void Toggle();
    void FollowOwner();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* owner_;
    int gapX_;
    int gapY_;
    KeyFn onKey_;
    QLabel* display_;
    bool shownWithOwner_ = false;
};

}  // namespace zorvan::ui
