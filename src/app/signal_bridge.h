#pragma once

#include <QObject>

class QSocketNotifier;

namespace zorvan {

// Turns SIGTERM and SIGINT into a Qt signal on the main thread, so that a
// logout or Ctrl+C runs the same orderly shutdown as "Exit".
class SignalBridge final : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

signals:
    void terminationRequested();

private:
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace zorvan
