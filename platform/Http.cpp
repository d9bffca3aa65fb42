#include "platform/Http.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <memory>

namespace platform {

namespace {

class QtHttpClient : public HttpClient {
public:
    HttpReply get(const QUrl& url, int timeoutMs) override
    {
        HttpReply result;
        QNetworkAccessManager manager;
        QNetworkRequest request(url);
        request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
        request.setTransferTimeout(timeoutMs);
        const std::unique_ptr<QNetworkReply> reply(manager.get(request));
        // Qt's network thread reads no further ahead than this, so a flood never piles up in memory
        // while the one byte over the limit still shows that the reply is too long.
        reply->setReadBufferSize(MaxReplyBytes + 1);
        bool tooLong = false;
        QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
            if (reply->bytesAvailable() > MaxReplyBytes) {
                tooLong = true;
                reply->abort();
            }
        });

        QEventLoop loop;
        // The transfer time-out above only notices silence; this one ends a reply that drips.
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        if (!reply->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);

        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QString tooLongError = QStringLiteral("The reply is longer than %1 bytes.").arg(MaxReplyBytes);
        if (tooLong) {
            result.error = tooLongError;
        } else if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
        } else if (result.status < 200 || result.status > 299) {
            result.error = QStringLiteral("HTTP status %1").arg(result.status);
        } else if (const QByteArray body = reply->read(MaxReplyBytes + 1); body.size() > MaxReplyBytes) {
            result.error = tooLongError;
        } else {
            result.ok = true;
            result.body = QString::fromUtf8(body);
        }
        return result;
    }
};

HttpClient* g_client = nullptr;

} // namespace

HttpReply httpGet(const QUrl& url, int timeoutMs)
{
    static QtHttpClient real;
    return (g_client ? g_client : &real)->get(url, timeoutMs);
}

void setHttpClient(HttpClient* client)
{
    g_client = client;
}

} // namespace platform
