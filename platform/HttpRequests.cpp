#include "platform/HttpRequests.h"

#include <QHostInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>

namespace platform {

namespace {
constexpr int IdleConnectionSeconds = 2;
} // namespace

struct HttpRequests::Pending : QObject {
    QNetworkReply* reply = nullptr; // none once the transfer is over (a name lookup may follow)
    QTimer timer;
    Done done;
    qint64 maxBody = 0;
    qint64 read = 0;
    bool timedOut = false;
};

HttpRequests::HttpRequests(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

HttpRequests::~HttpRequests()
{
    abortAll();
}

void HttpRequests::start(const HttpRequest& request, Done done)
{
    const quint64 id = ++m_next;
    auto* p = new Pending;
    p->setParent(this);
    p->done = std::move(done);
    p->maxBody = request.maxBodyBytes;

    QNetworkRequest r(request.url);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    // Work over many hosts seldom comes back to one soon, and every connection kept for later holds
    // memory in Qt's cache (about 10 KB): let an idle one go after a moment instead of two minutes.
    r.setAttribute(QNetworkRequest::ConnectionCacheExpiryTimeoutSecondsAttribute, IdleConnectionSeconds);
    for (const auto& [name, value] : request.headers)
        r.setRawHeader(name, value);
    p->reply = request.method == "GET" ? m_manager->get(r) : m_manager->head(r);
    // Qt's network thread reads no further ahead than this, so a long page never piles up here.
    p->reply->setReadBufferSize(std::max<qint64>(p->maxBody, 4096));
    m_pending.insert(id, p);

    QNetworkReply* reply = p->reply;
    connect(reply, &QNetworkReply::readyRead, p, [p] {
        p->read += p->reply->skip(p->reply->bytesAvailable());
        if (p->read >= p->maxBody)
            p->reply->abort(); // enough read: the status is what counts
    });
    connect(reply, &QNetworkReply::finished, this, [this, id] { finish(id); });
    p->timer.setSingleShot(true);
    connect(&p->timer, &QTimer::timeout, p, [p] {
        p->timedOut = true;
        p->reply->abort();
    });
    p->timer.start(request.timeoutMs);
}

void HttpRequests::finish(quint64 id)
{
    Pending* p = m_pending.value(id);
    if (!p || !p->reply)
        return;
    QNetworkReply* reply = p->reply;
    p->reply = nullptr;
    p->timer.stop();
    reply->disconnect(p);
    reply->disconnect(this);
    reply->deleteLater();

    HttpAnswer answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const auto deliver = [this, id](const HttpAnswer& a) {
        Pending* done = m_pending.take(id);
        if (!done)
            return;
        const Done call = std::move(done->done);
        // Later: this may run inside a signal of the object's own timer.
        done->deleteLater();
        call(a);
    };
    if (answer.status > 0) {
        // Headers came; whatever happened to the body afterwards does not matter.
        answer.location = reply->rawHeader("Location");
        answer.retryAfter = reply->rawHeader("Retry-After");
        deliver(answer);
        return;
    }

    answer.error = reply->errorString();
    switch (reply->error()) {
    case QNetworkReply::ConnectionRefusedError:
        answer.failure = HttpAnswer::Failure::Refused;
        break;
    case QNetworkReply::TimeoutError:
        answer.failure = HttpAnswer::Failure::TimedOut;
        break;
    case QNetworkReply::OperationCanceledError:
        answer.failure = p->timedOut ? HttpAnswer::Failure::TimedOut : HttpAnswer::Failure::Other;
        break;
    case QNetworkReply::SslHandshakeFailedError:
        answer.failure = HttpAnswer::Failure::Secure;
        break;
    case QNetworkReply::NoError:
        answer.failure = HttpAnswer::Failure::Other;
        answer.error = QStringLiteral("The answer carried no HTTP status.");
        break;
    case QNetworkReply::HostNotFoundError: {
        // Qt says "not found" for every failed lookup; ask once more to tell a name that does
        // not exist from a name service that cannot be reached just now. The answer is cached.
        const QString host = reply->url().host();
        QHostInfo::lookupHost(host, p, [deliver, answer](const QHostInfo& info) mutable {
            answer.failure = info.error() == QHostInfo::HostNotFound ? HttpAnswer::Failure::NoSuchHost
                                                                     : HttpAnswer::Failure::LookupFailed;
            if (info.error() != QHostInfo::NoError)
                answer.error = info.errorString();
            deliver(answer);
        });
        return;
    }
    default:
        answer.failure = HttpAnswer::Failure::Other;
        break;
    }
    if (p->timedOut)
        answer.error = QStringLiteral("No answer within %1 s.").arg(p->timer.interval() / 1000.0);
    deliver(answer);
}

void HttpRequests::abortAll()
{
    const QHash<quint64, Pending*> pending = std::exchange(m_pending, {});
    for (Pending* p : pending) {
        if (QNetworkReply* reply = std::exchange(p->reply, nullptr)) {
            reply->disconnect(p);
            reply->disconnect(this);
            reply->abort();
            reply->deleteLater();
        }
        // Takes its timer and any name lookup under way with it.
        delete p;
    }
}

} // namespace platform
