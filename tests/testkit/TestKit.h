#pragma once

// Shared helpers of the test suites: a fresh encrypted links.mdb per test, recorders that stand
// in for the desktop (message boxes, opener, previous-instance test), a real local HTTP server,
// and helpers that fail loudly.

#include "data/Database.h"
#include "data/Link.h"
#include "platform/FileDialog.h"
#include "platform/Http.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"
#include "platform/SingleInstance.h"
#include "testkit/ScriptedHttpServer.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <deque>
#include <functional>
#include <memory>

class QAction;
class QTcpServer;
class QWidget;

namespace testkit {

using Link = ::Link; // the program's own link: name, url (and no identity here)

// A fresh copy of the installed links.mdb (written by the real tool) in its own temporary folder.
// While it lives, the program's LinksDb points at that folder. A database failure inside a helper
// fails the test with the engine's number and description; the helper then returns an empty result
// (check QTest::currentTestFailed() where going on would mislead).
class TempLinksDb {
public:
    TempLinksDb();
    ~TempLinksDb();

    QString folder() const;
    QString path() const; // folder + "/links.mdb"
    Database open() const;

    // Appends links in this order (stored order = this order), in one transaction.
    void addLinks(const QList<Link>& links) const;
    // Runs SQL on the file from another process (the sqlcipher shell), as another copy would;
    // false when it failed.
    bool writeFromAnotherProcess(const QByteArray& sql) const;
    // Every link in stored order, as stored (sealed texts stay sealed).
    QList<Link> links() const;
    int linkCount() const;

    // The one record of table Other. A null QVariant writes Null.
    void setOther(const QVariant& firstRun, const QVariant& passwordProtected,
                  const QVariant& username = QString(), const QVariant& password = QString()) const;
    QVariant other(const QString& field) const;

    QByteArray bytes() const; // the raw file

private:
    QTemporaryDir m_dir;
};

// Every link of the links database at path (links.mdb or a backup of it) in stored order, with its
// identity, as stored (sealed texts stay sealed).
QList<Link> linksIn(const QString& path);
// The links with every identity dropped, to compare with links as they were written.
QList<Link> withoutIds(QList<Link> links);

// Every table and every field of the links database at path (links.mdb or a backup of it), as the
// sqlcipher shell of another process dumps them with the database password; empty when it failed.
QByteArray dumpFile(const QString& path);

// A small file system with no byte left, in this process's own mount namespace (the machine's
// mounts are never touched). Filled with a file, it holds a copy of it and, while it lives, the
// program's LinksDb points at that copy.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    // Empty when it worked, else why not (no mount namespace without root: skip the test).
    QString fill(const QString& file = {});
    QString folder() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// Another process in the middle of a write: it holds the write lock (readers go on) until it ends,
// which rolls its transaction back.
class WriteLockHolder {
public:
    bool take(const QString& path);
    ~WriteLockHolder();

private:
    QProcess m_shell;
};

// Records every message box and answers it: with the next scripted answer, else with the default
// button, as Enter would (OK 1; Yes 6, or No 7 in a box whose second button is the default).
// Installs itself while it lives.
class ScriptedMessageBox : public platform::MessageBoxProvider {
public:
    struct Box {
        QString text;
        QString title;
        int style;
    };
    ScriptedMessageBox();
    ~ScriptedMessageBox() override;

    void answerNext(int answer);
    // Runs while the box is "up" (before it is answered), e.g. to read a window's state.
    void onNextBox(std::function<void(const Box&)> peek);

    int show(const QString& text, const QString& title, int style) override;

    QList<Box> boxes;
    QStringList texts() const;

private:
    std::deque<int> m_answers;
    std::deque<std::function<void(const Box&)>> m_peeks;
};

// Answers the file dialog with the path the test sets (empty: cancelled) and records the titles
// of the dialogs asked for. Installs itself while it lives.
class ScriptedFileDialog : public platform::FileDialogProvider {
public:
    ScriptedFileDialog();
    ~ScriptedFileDialog() override;
    QString openFile(const QString& title, const QString& filter) override;
    QString saveFile(const QString& title, const QString& filter, const QString& suggestedName) override;
    QString answer;
    QStringList titles;
};

// Records what the program hands to the desktop opener; with cannotStart, as if the opener were
// missing. Installs itself while it lives.
class RecordingOpener : public platform::Opener {
public:
    RecordingOpener();
    ~RecordingOpener() override;
    bool open(const QString& target) override;
    QStringList opened;
    bool cannotStart = false;
};

// The previous-instance test under the test's control. Installs itself while it lives.
class FakeInstanceGuard : public platform::InstanceGuard {
public:
    FakeInstanceGuard();
    ~FakeInstanceGuard() override;
    bool anotherCopyRunning(const QString&) override { return running; }
    bool running = false;
};

// A ScriptedHttpServer on 127.0.0.1 (an ephemeral port) answering from a table: one fixed answer
// per path, silence, or a stream. A path not in the table answers 404 with an HTML page. It serves
// from the test's own event loop (the program's synchronous GET spins a local loop, which serves it).
class LocalHttpServer : public ScriptedHttpServer {
public:
    LocalHttpServer();
    void serve(const QString& path, int status, const QByteArray& body,
               const QByteArray& contentType = "text/plain");
    void silent(const QString& path);
    // Answers 200 with no length and a body of total digits "111...", pieceBytes at a time every
    // intervalMs (0: as fast as the client takes them), then closes: a flood or a drip.
    void stream(const QString& path, qint64 total, int pieceBytes, int intervalMs);
    QString host() const;               // "127.0.0.1:<port>"
    QStringList requestedPaths() const; // as sent, with the query
};

// A port on 127.0.0.1 where nothing listens (connections are refused).
quint16 refusedPort();

// Runs body and returns the number of the DbError it throws (0 when it throws none).
int errorOf(const std::function<void()>& body);

// Puts the application back to "not started": every window gone, no end recorded, no instance
// lock held, and local event loops able to run again. Call it from a test function (or cleanup()),
// not from inside a running event loop.
void resetApplication();

// Triggers a command as the user would; fails the test (QFAIL-style, via QTest::qFail) when the
// action is missing, hidden or disabled. The calling test goes on: check QTest::currentTestFailed()
// where what follows would crash.
void triggerAction(QAction* action, const char* name);

} // namespace testkit
