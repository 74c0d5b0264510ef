#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>

#include "platform/event_loop.h"

class QLabel;
class QTimer;

namespace zorvan::ui {

// The turning wheel both waiting windows show.
class BusySpinner final : public QWidget {
    Q_OBJECT
public:
    explicit BusySpinner(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {32, 32}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer* timer_;
    int step_ = 0;
};

// "Connecting to Skype ...": how the attach to the client stands, refreshed
// every two seconds (timer 662, on the program's event loop) until access is
// granted; then it hides itself and from then on only the main window shows
// or hides it. The user cannot dismiss it with Enter or Esc; while access is
// refused its close box hides it until the next status change.
class CDlgStatusCheck final : public QDialog, public EventHandler {
    Q_OBJECT
public:
    static constexpr int kRefreshTimer = 662;
    static constexpr std::int64_t kRefreshMs = 2000;

    CDlgStatusCheck(EventLoop& loop, std::function<std::uint32_t()> attachStatus, QWidget* parent = nullptr);
    ~CDlgStatusCheck() override;

    void Refresh();
    bool granted() const { return granted_; }
    QLabel* waitingLabel() const { return waiting_; }
    QLabel* pictureLabel() const { return picture_; }
    QLabel* mainLabel() const { return main_; }
    QLabel* hintLabel() const { return hint_; }
    TargetId target() const { return target_ ? target_->id() : kNoTarget; }

    void OnEvent(const Event&) override {}
    void OnTimer(int timerId) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    EventLoop& loop_;
    std::function<std::uint32_t()> attachStatus_;
    std::unique_ptr<ScopedTarget> target_;
    bool granted_ = false;
    QLabel* waiting_;  // one-line label at the top (1063)
    QLabel* picture_;  // the client's access prompt (1061)
    QLabel* main_;     // the main text (1062)
    QLabel* hint_;     // one-line label at the bottom (1059)
};

// "Please wait...": shown while file work runs in the background. Esc hides
// it, Enter does nothing.
class CDlgWaitingMsg final : public QDialog {
    Q_OBJECT
public:
    explicit CDlgWaitingMsg(QWidget* parent = nullptr);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The address shown for refused access.
QString AccessHelpText();

}  // namespace zorvan::ui
