#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// One synchronous HTTP GET, run through a local event loop.
namespace platform {

// The longest body a GET reads. The version file is a few bytes; a longer reply is a failure, so
// an endless one from anyone on the way to a plain-HTTP server is cut off early.
constexpr qint64 MaxReplyBytes = 4 * 1024;

struct HttpReply {
    bool ok = false; // a reply with a success status (2xx) and at most MaxReplyBytes arrived in time
    int status = 0;  // the HTTP status, 0 when none arrived
    QString body;    // the body as text (UTF-8)
    QString error;   // what went wrong, for a failure
};

class HttpClient {
public:
    virtual ~HttpClient() = default;
    virtual HttpReply get(const QUrl& url, int timeoutMs) = 0;
};

// timeoutMs bounds the whole transfer, however slowly the bytes keep coming.
HttpReply httpGet(const QUrl& url, int timeoutMs);

// Replaces the real client (nullptr restores it). The client stays owned by the caller.
void setHttpClient(HttpClient* client);

} // namespace platform
