#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>
#include <functional>
#include <utility>

class QNetworkAccessManager;

// Many HTTP requests at once, none of them waited for: each answer comes back later on the event
// loop of the thread that asked, while Qt's network thread does the transfers. Nothing is decided
// here: a redirect comes back unfollowed and every status is an answer like any other.
namespace platform {

struct HttpRequest {
    QByteArray method = "HEAD"; // "HEAD" or "GET"
    QUrl url;
    QList<std::pair<QByteArray, QByteArray>> headers;
    int timeoutMs = 15000;   // the whole request, from its start to its answer
    qint64 maxBodyBytes = 0; // a GET reads at most this much of the body, then hangs up
};

struct HttpAnswer {
    enum class Failure {
        None,         // an answer with a status came back
        NoSuchHost,   // the name service says the name does not exist
        LookupFailed, // the name could not be looked up just now
        Refused,      // nothing takes connections there
        TimedOut,     // no answer within the time-out
        Secure,       // the secure connection failed (certificate, handshake)
        Other,        // the connection broke, or what came back was not HTTP
    };
    int status = 0;        // 0 when no answer came back
    QByteArray location;   // the Location header, as sent
    QByteArray retryAfter; // the Retry-After header, as sent
    Failure failure = Failure::None;
    QString error; // the failure in words
};

class HttpRequests : public QObject {
    Q_OBJECT

public:
    // Cookies a site sets live in memory, for this object's life, and go back only to that site.
    explicit HttpRequests(QObject* parent = nullptr);
    ~HttpRequests() override;

    using Done = std::function<void(const HttpAnswer&)>;
    // Starts a request; done runs once, from the event loop, unless abortAll() comes first.
    void start(const HttpRequest& request, Done done);
    // Stops every request under way; none of their done calls runs.
    void abortAll();
    int inFlight() const { return int(m_pending.size()); }

private:
    struct Pending;
    QNetworkAccessManager* m_manager;
    QHash<quint64, Pending*> m_pending;
    quint64 m_next = 0;

    void finish(quint64 id);
};

} // namespace platform
