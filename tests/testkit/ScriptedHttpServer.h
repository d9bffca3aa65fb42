#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

namespace testkit {

// The reason phrase of an HTTP status line ("Not Found" for 404), "Status" for one not listed.
QByteArray reasonPhrase(int status);

// A request as the scripted server saw it.
struct SeenRequest {
    QByteArray method;
    QString target;                        // as sent, with the query
    QString path;                          // without the query
    QHash<QByteArray, QByteArray> headers; // names in lower case
    qint64 atMs = 0;                       // since the server started
};

// What the scripted server answers to one request.
struct Reply {
    Reply(int status = 200, QList<std::pair<QByteArray, QByteArray>> headers = {}, QByteArray body = {})
        : status(status), headers(std::move(headers)), body(std::move(body))
    {
    }
    int status;
    QList<std::pair<QByteArray, QByteArray>> headers;
    QByteArray body;
    QByteArray contentType = "text/html";
    int delayMs = 0;    // the answer waits this long
    bool never = false; // the connection is taken and never answered
    // A stream: a body of streamBytes digits "111..." with no length, pieceBytes at a time every
    // intervalMs (0: as fast as the client takes them), then the close; a flood or a drip.
    qint64 streamBytes = -1;
    int pieceBytes = 0;
    int intervalMs = 0;

    static Reply redirect(int status, const QByteArray& location) { return {status, {{"Location", location}}}; }
    static Reply silence()
    {
        Reply reply(0);
        reply.never = true;
        return reply;
    }
    static Reply stream(qint64 total, int pieceBytes, int intervalMs)
    {
        Reply reply;
        reply.streamBytes = total;
        reply.pieceBytes = pieceBytes;
        reply.intervalMs = intervalMs;
        return reply;
    }
};

// Connections open at once over several servers, the most ever, for limits across hosts.
struct ConnectionGauge {
    int open = 0;
    int peak = 0;
};

// A real HTTP/1.1 server on one loopback address (any of 127/8 on Linux, so one machine has many
// hosts) that answers HEAD and GET per path from a script: status sequences, headers such as
// Location and Retry-After, delays, silence, streams. It hangs up after every answer, so each request is
// one connection, and it counts the connections open at once. A path without a script answers 404.
// It serves from the event loop of the thread that made it.
class ScriptedHttpServer {
public:
    explicit ScriptedHttpServer(const QHostAddress& address = QHostAddress::LocalHost, quint16 port = 0);
    ~ScriptedHttpServer();
    ScriptedHttpServer(const ScriptedHttpServer&) = delete;
    ScriptedHttpServer& operator=(const ScriptedHttpServer&) = delete;

    // nth counts the requests to this path before this one (any method).
    using Script = std::function<Reply(const SeenRequest& request, int nth)>;
    void on(const QString& path, Script script);
    // The nth request to the path gets replies[nth]; the last reply answers every later one.
    void sequence(const QString& path, QList<Reply> replies);
    // Every path without a script of its own.
    void otherwise(Script script);
    // Adds this server's connections to a gauge shared with other servers.
    void countInto(std::shared_ptr<ConnectionGauge> gauge);

    bool isListening() const;
    quint16 port() const;
    // "http://127.0.0.2:40123"
    QString base() const;

    QList<SeenRequest> requests;
    QStringList hungUp; // streamed paths whose client went away before the whole body was sent
    // Connections carrying a request now (from its arrival to the whole answer sent, or the
    // client hanging up), and the most there ever were at once.
    int openConnections() const;
    int peakConnections() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace testkit
