#include "testkit/ScriptedHttpServer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace testkit {

QByteArray reasonPhrase(int status)
{
    static const QHash<int, QByteArray> phrases{
        {200, "OK"},
        {204, "No Content"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {410, "Gone"},
        {429, "Too Many Requests"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {503, "Service Unavailable"},
    };
    return phrases.value(status, "Status");
}

struct ScriptedHttpServer::Impl {
    ScriptedHttpServer* owner = nullptr;
    QTcpServer server;
    QHostAddress address;
    QHash<QString, Script> scripts;
    QHash<QString, int> served; // requests per path so far
    Script fallback;
    QElapsedTimer clock;
    int open = 0;
    int peak = 0;
    std::shared_ptr<ConnectionGauge> gauge;

    void accept()
    {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            socket->setParent(&server);
            QObject::connect(socket, &QTcpSocket::readyRead, &server, [this, socket] { read(socket); });
            // Counted once, whichever way the connection ends: the server closing it after its
            // answer, or the client hanging up first.
            QObject::connect(socket, &QTcpSocket::disconnected, &server, [this, socket] {
                ended(socket);
                socket->deleteLater();
            });
        }
    }

    // A connection counts as open while it carries a request: from the moment its request has
    // come in until the server has sent its whole answer and closes, or the client hangs up.
    // (Counted from the close's own signal instead, a slow machine would count a connection the
    // server is done with beside the client's next one.)
    void began(QTcpSocket* socket)
    {
        socket->setProperty("counting", true);
        ++open;
        peak = std::max(peak, open);
        if (gauge) {
            ++gauge->open;
            gauge->peak = std::max(gauge->peak, gauge->open);
        }
    }

    void ended(QTcpSocket* socket)
    {
        if (!socket->property("counting").toBool())
            return;
        socket->setProperty("counting", false);
        --open;
        if (gauge)
            --gauge->open;
    }

    void read(QTcpSocket* socket)
    {
        if (socket->property("handled").toBool()) {
            socket->readAll();
            return;
        }
        QByteArray buffer = socket->property("request").toByteArray() + socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0) {
            socket->setProperty("request", buffer);
            return;
        }
        socket->setProperty("handled", true);
        began(socket);
        const QList<QByteArray> lines = buffer.left(end).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        SeenRequest request;
        request.method = requestLine.value(0);
        request.target = QString::fromUtf8(requestLine.value(1));
        request.path = request.target.section(QLatin1Char('?'), 0, 0);
        request.atMs = clock.elapsed();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        owner->requests.append(request);
        const int nth = served[request.path]++;
        const Script script = scripts.value(request.path, fallback);
        const Reply reply = script ? script(request, nth) : Reply{404, {}, "<html><body>Not Found</body></html>"};
        if (reply.never)
            return;
        if (reply.streamBytes >= 0) {
            startStream(socket, request.path, reply);
            return;
        }
        const bool head = request.method == "HEAD";
        if (reply.delayMs > 0) {
            QPointer<QTcpSocket> guard(socket);
            QTimer::singleShot(reply.delayMs, socket, [this, guard, reply, head] {
                if (guard)
                    respond(guard, reply, head);
            });
            return;
        }
        respond(socket, reply, head);
    }

    void startStream(QTcpSocket* socket, const QString& path, const Reply& stream)
    {
        socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nConnection: close\r\n\r\n");
        auto sent = std::make_shared<qint64>(0);
        // Only what the client takes is queued, so a flood costs the server no memory either.
        auto pump = [socket, stream, sent] {
            if (socket->state() != QAbstractSocket::ConnectedState)
                return;
            while (*sent < stream.streamBytes && socket->bytesToWrite() < 64 * 1024) {
                const qint64 piece = qMin<qint64>(stream.pieceBytes, stream.streamBytes - *sent);
                socket->write(QByteArray(piece, '1'));
                *sent += piece;
                if (stream.intervalMs > 0)
                    return;
            }
            if (*sent == stream.streamBytes && socket->bytesToWrite() == 0)
                socket->disconnectFromHost();
        };
        QObject::connect(socket, &QTcpSocket::disconnected, &server,
                         [this, path, total = stream.streamBytes, sent] {
                             if (*sent < total)
                                 owner->hungUp.append(path);
                         });
        if (stream.intervalMs > 0) {
            auto* timer = new QTimer(socket);
            QObject::connect(timer, &QTimer::timeout, socket, pump);
            timer->start(stream.intervalMs);
        } else {
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, pump);
            pump();
        }
    }

    void respond(QTcpSocket* socket, const Reply& reply, bool head)
    {
        if (socket->state() != QAbstractSocket::ConnectedState) {
            ended(socket);
            return;
        }
        QByteArray out =
            "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reasonPhrase(reply.status) + "\r\n";
        for (const auto& [name, value] : reply.headers)
            out += name + ": " + value + "\r\n";
        out += "Content-Type: " + reply.contentType + "\r\n";
        out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        if (!head)
            out += reply.body;
        socket->write(out);
        socket->flush();
        ended(socket);
        socket->disconnectFromHost(); // once the bytes are out
    }
};

ScriptedHttpServer::ScriptedHttpServer(const QHostAddress& address, quint16 port) : d(std::make_unique<Impl>())
{
    d->owner = this;
    d->address = address;
    d->clock.start();
    QObject::connect(&d->server, &QTcpServer::newConnection, &d->server, [this] { d->accept(); });
    d->server.listen(address, port);
}

ScriptedHttpServer::~ScriptedHttpServer()
{
    d->server.close();
}

void ScriptedHttpServer::on(const QString& path, Script script)
{
    d->scripts.insert(path, std::move(script));
}

void ScriptedHttpServer::sequence(const QString& path, QList<Reply> replies)
{
    on(path, [replies = std::move(replies)](const SeenRequest&, int nth) {
        return replies.value(std::min<qsizetype>(nth, replies.size() - 1));
    });
}

void ScriptedHttpServer::otherwise(Script script)
{
    d->fallback = std::move(script);
}

void ScriptedHttpServer::countInto(std::shared_ptr<ConnectionGauge> gauge)
{
    d->gauge = std::move(gauge);
}

bool ScriptedHttpServer::isListening() const
{
    return d->server.isListening();
}

quint16 ScriptedHttpServer::port() const
{
    return d->server.serverPort();
}

QString ScriptedHttpServer::base() const
{
    return QStringLiteral("http://%1:%2").arg(d->address.toString()).arg(port());
}

int ScriptedHttpServer::openConnections() const
{
    return d->open;
}

int ScriptedHttpServer::peakConnections() const
{
    return d->peak;
}

} // namespace testkit
