#include "platform/qt/qt_http_get.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "platform/wait_event.h"

namespace zorvan {

HttpReply QtHttpGet::Get(const std::string& url, std::int64_t timeoutMs, std::size_t maxBytes,
                         const WaitEvent* cancel) {
    HttpReply result;
    QNetworkAccessManager manager;
    QNetworkRequest request(QUrl(QString::fromStdString(url)));
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Update"));
    request.setTransferTimeout(static_cast<int>(timeoutMs));
    QNetworkReply* reply = manager.get(request);
    QEventLoop wait;
    QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
    // The time limit, and a look at the cancel event every 50 ms.
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &wait, [&] {
        if ((cancel != nullptr && cancel->isSet()) || clock.elapsed() >= timeoutMs) wait.quit();
    });
    tick.start(50);
    if (!reply->isFinished()) wait.exec();
    tick.stop();
    if (!reply->isFinished()) {
        reply->abort();
        delete reply;
        return result;
    }
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    result.reached = status.isValid();
    result.status = status.toInt();
    result.body = reply->read(static_cast<qint64>(maxBytes)).toStdString();
    delete reply;
    return result;
}

}  // namespace zorvan
