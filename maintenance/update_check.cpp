#include "maintenance/update_check.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QUrl>
#include <memory>

#include "map/net_request.h"
#include "widgets/ui_text.h"

namespace tavrilo {
namespace {

constexpr int kBodyBytes = 1024;
constexpr int kVersionChars = 259;
constexpr int kMessageChars = 1300;

// One version file: the body's first 1024 bytes, or nothing on any failure.
std::optional<QString> FetchVersion(QNetworkAccessManager& net, const QString& url, int timeoutMs,
                                    const std::atomic<bool>& stop) {
    if (stop) {
        return std::nullopt;
    }
    const std::unique_ptr<QNetworkReply> reply =
        WaitForReply(net.get(MakeRequest(QUrl(url), timeoutMs)), timeoutMs, stop);
    if (!reply->isFinished() || reply->error() != QNetworkReply::NoError ||
        reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() != 200) {
        return std::nullopt;
    }
    return VersionFromBody(reply->read(kBodyBytes));
}

// A block of the message: the part, the versions, the link.
QString Block(int part, const QString& current, const QString& latest, const QString& page) {
    const QString link = page.toHtmlEscaped();
    return QStringLiteral("%1:\r\n%2%3   →   %4%5\r\n\r\nURL : <a href=\"%6\">%7</a>")
        .arg(UiText(part), UiText(109), current.toHtmlEscaped(), UiText(111),
             latest.toHtmlEscaped(), link, link);
}

}  // namespace

std::optional<QString> VersionFromBody(const QByteArray& body) {
    if (body.isEmpty()) {
        return QString();
    }
    const QString text = QString::fromLocal8Bit(body.left(kBodyBytes));
    const qsizetype at = text.indexOf(QStringLiteral("VER:"));
    if (at < 0) {
        return std::nullopt;
    }
    QString version = text.mid(at + 4);
    if (version.size() > kVersionChars) {
        return std::nullopt;
    }
    return version;
}

QString ReduceFirmware(const QString& version) {
    QString reduced;
    int dots = 0;
    for (const QChar c : version) {
        if (c.isLetter()) {
            continue;
        }
        if (c == QLatin1Char('.') && ++dots == 3) {
            break;
        }
        reduced += c;
    }
    return reduced;
}

std::optional<QString> BuildUpdateMessage(const UpdateFindings& f) {
    if (!f.latestViewer) {
        return std::nullopt;  // without the viewer's file nothing is shown
    }
    const QString card = ReduceFirmware(f.cardFirmware);
    const bool firmwareDiffers =
        !f.cardFirmware.isEmpty() && f.latestFirmware && ReduceFirmware(*f.latestFirmware) != card;
    const bool viewerDiffers = *f.latestViewer != QLatin1String(kViewerVersion);
    QStringList blocks;
    if (firmwareDiffers) {
        blocks << Block(110, card, ReduceFirmware(*f.latestFirmware), f.firmwarePage);
    }
    if (viewerDiffers) {
        blocks << Block(112, QLatin1String(kViewerVersion), *f.latestViewer, f.viewerPage);
    }
    if (blocks.isEmpty()) {
        return std::nullopt;
    }
    QString message = UiText(107).toHtmlEscaped() + QStringLiteral("\r\n\r\n") +
                      blocks.join(QStringLiteral("\r\n\r\n\r\n"));
    if (blocks.size() == 2) {
        message += QStringLiteral("\r\n");
    }
    if (message.size() > kMessageChars) {
        return std::nullopt;
    }
    // Shown as rich text: the line breaks become breaks, so that only the links are markup.
    return message.replace(QStringLiteral("\r\n"), QStringLiteral("<br>"));
}

std::optional<QString> UpdateServerBase(const std::string& setting) {
    const QUrl url(QString::fromStdString(setting).trimmed());
    if (setting.empty() || !IsWebAddress(url)) {
        return std::nullopt;
    }
    QString base = url.toString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    while (base.endsWith(QLatin1Char('/'))) {
        base.chop(1);
    }
    return base;
}

UpdateChecker::~UpdateChecker() {
    Stop();
}

bool UpdateChecker::Start(const std::string& server, const QString& firmware,
                          std::function<void(const QString&)> done, int timeoutMs) {
    if (started_) {
        return false;
    }
    const std::optional<QString> base = UpdateServerBase(server);
    if (!base) {
        return false;
    }
    started_ = true;
    thread_ = QThread::create([this, base = *base, firmware, done = std::move(done), timeoutMs] {
        QNetworkProxyFactory::setUseSystemConfiguration(true);
        QNetworkAccessManager net;
        UpdateFindings f;
        f.cardFirmware = firmware;
        f.firmwarePage = base + QLatin1String(UpdatePaths::kFirmwarePage);
        f.viewerPage = base + QLatin1String(UpdatePaths::kViewerPage);
        if (!firmware.isEmpty()) {
            f.latestFirmware = FetchVersion(
                net, base + QLatin1String(UpdatePaths::kFirmwareVersion), timeoutMs, stop_);
        }
        f.latestViewer =
            FetchVersion(net, base + QLatin1String(UpdatePaths::kViewerVersion), timeoutMs, stop_);
        const std::optional<QString> message = BuildUpdateMessage(f);
        if (message && !stop_) {
            done(*message);
        }
        finished_ = true;
    });
    thread_->start();
    return true;
}

void UpdateChecker::Stop() {
    StopWorker(thread_, stop_);
}

}  // namespace tavrilo
