#include "map/c_inet_connection_async.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QUrl>
#include <chrono>

#include "map/net_request.h"

namespace tavrilo {

CInetConnectionAsync::~CInetConnectionAsync() {
    Stop();
}

void CInetConnectionAsync::Start(const QString& checkUrl, int recheckMs, int timeoutMs) {
    if (thread_ != nullptr) {
        return;
    }
    const QUrl url(checkUrl);
    if (!IsWebAddress(url)) {
        return;
    }
    stop_ = false;
    thread_ = QThread::create([this, url, recheckMs, timeoutMs] {
        using Clock = std::chrono::steady_clock;
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        QNetworkAccessManager net;
        auto next = Clock::now();  // the first look is at once
        while (!stop_) {
            if (Clock::now() >= next) {
                ++asked_;
                const auto reply =
                    WaitForReply(net.head(MakeRequest(url, timeoutMs)), timeoutMs, stop_);
                // Any answer of the server counts, an error page too.
                const bool answered =
                    reply->isFinished() &&
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() > 0;
                connected_ = answered;
                next = Clock::now() + std::chrono::milliseconds(recheckMs);
            }
            // A second at a time, waking for the stop.
            for (int i = 0; i < 20 && !stop_; ++i) {
                QThread::msleep(50);
            }
        }
    });
    thread_->start();
}

void CInetConnectionAsync::Stop() {
    StopWorker(thread_, stop_);
}

}  // namespace tavrilo
