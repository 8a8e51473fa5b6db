#include "map/net_request.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace tavrilo {

void StopWorker(QThread*& thread, std::atomic<bool>& stop) {
    stop = true;
    if (thread != nullptr) {
        thread->wait();
        delete thread;
        thread = nullptr;
    }
}

bool IsWebAddress(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https"));
}

QNetworkRequest MakeRequest(const QUrl& url, int timeoutMs) {
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "*/*");
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Tavrilo/1.0.1"));
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(timeoutMs);
    return request;
}

std::unique_ptr<QNetworkReply> WaitForReply(QNetworkReply* reply, int timeoutMs,
                                            const std::atomic<bool>& stop) {
    std::unique_ptr<QNetworkReply> owned(reply);
    if (!owned->isFinished()) {
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        // A server that sends too slowly is given up on as well.
        QTimer::singleShot(timeoutMs + 1000, &loop, &QEventLoop::quit);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (stop) {
                loop.quit();
            }
        });
        watch.start(50);
        loop.exec();
    }
    if (!owned->isFinished()) {
        owned->abort();
    }
    return owned;
}

}  // namespace tavrilo
