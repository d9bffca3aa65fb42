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

        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, reply.get(), &QNetworkReply::abort);
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        if (!reply->isFinished())
            loop.exec(QEventLoop::ExcludeUserInputEvents);

        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (reply->error() != QNetworkReply::NoError) {
            result.error = reply->errorString();
        } else if (result.status < 200 || result.status > 299) {
            result.error = QStringLiteral("HTTP status %1").arg(result.status);
        } else {
            result.ok = true;
            result.body = QString::fromUtf8(reply->readAll());
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
