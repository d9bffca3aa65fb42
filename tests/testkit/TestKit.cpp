#include "testkit/TestKit.h"

#include "data/LinksDb.h"
#include "data/Protection.h"
#include "testkit/ScriptedHttpServer.h"
#include "windowkit/Lifecycle.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QStorageInfo>
#include <QTcpServer>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <optional>

#include <sched.h>
#include <sys/mount.h>

namespace testkit {

namespace {

const QString kLinks = QStringLiteral("links");
const QString kOther = QStringLiteral("Other");

// Engine failures inside a helper fail the test with the helper's name and the engine's number
// and text, and the helper returns an empty result. Rethrowing would not end just this test
// function: Qt Test aborts the whole executable on an escaping exception.
template <typename F> auto reported(const char* helper, F&& body) -> decltype(body())
{
    try {
        return body();
    } catch (const DbError& e) {
        const QByteArray message = QStringLiteral("%1: database error %2: %3")
                                       .arg(QLatin1String(helper))
                                       .arg(e.number())
                                       .arg(e.description())
                                       .toUtf8();
        QTest::qFail(message.constData(), __FILE__, __LINE__);
        return decltype(body())();
    }
}

// One installed file per test process: the real tool writes it once, every TempLinksDb copies it.
QString templateFile()
{
    static QTemporaryDir folder(QDir::tempPath() + QStringLiteral("/tessary-template-XXXXXX"));
    static QString path;
    if (!path.isEmpty())
        return path;
    if (!folder.isValid())
        qFatal("TempLinksDb: cannot create a temporary folder: %s", qPrintable(folder.errorString()));
    const QString target = folder.filePath(LinksDb::fileName());
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(QStringLiteral(MAKE_LINKS_MDB_EXE), {target});
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0 ||
        !QFile::exists(target)) {
        qFatal("TempLinksDb: %s %s failed (exit code %d): %s", MAKE_LINKS_MDB_EXE, qPrintable(target),
               tool.exitCode(), tool.readAll().constData());
    }
    path = target;
    return path;
}

// Runs SQL in the sqlcipher shell of another process, keyed as the program keys the file and
// waiting for a lock as another copy would (a backup may be reading the file); what it printed,
// nothing when it failed.
std::optional<QByteArray> runInShell(const QString& path, const QByteArray& sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlcipher"), {path});
    if (!shell.waitForStarted())
        return std::nullopt;
    shell.write(".timeout 5000\nPRAGMA key = 'vunok';\nPRAGMA cipher_compatibility = 3;\n" + sql + '\n');
    shell.closeWriteChannel();
    if (!shell.waitForFinished() || shell.exitCode() != 0 || !shell.readAllStandardError().isEmpty())
        return std::nullopt;
    return shell.readAllStandardOutput();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TempLinksDb

TempLinksDb::TempLinksDb() : m_dir(QDir::tempPath() + QStringLiteral("/tessary-test-XXXXXX"))
{
    if (!m_dir.isValid())
        qFatal("TempLinksDb: cannot create a temporary folder: %s", qPrintable(m_dir.errorString()));
    if (!QFile::copy(templateFile(), path()))
        qFatal("TempLinksDb: cannot copy the installed file to %s", qPrintable(path()));
    // The template may be read-only for whoever wrote it; each test owns its copy outright.
    QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner);
    LinksDb::setFolder(folder());
}

TempLinksDb::~TempLinksDb() = default;

QString TempLinksDb::folder() const
{
    return m_dir.path();
}

QString TempLinksDb::path() const
{
    return m_dir.filePath(LinksDb::fileName());
}

Database TempLinksDb::open() const
{
    return reported("TempLinksDb::open", [this] { return Database::open(path(), LinksDb::connect()); });
}

void TempLinksDb::addLinks(const QList<Link>& links) const
{
    reported("TempLinksDb::addLinks", [&] {
        Database db = open();
        Transaction transaction(db);
        Recordset rs = db.openRecordset(kLinks, RecordsetType::Table);
        for (const Link& link : links) {
            rs.addNew();
            rs.setValue(QStringLiteral("SiteName"), link.name);
            rs.setValue(QStringLiteral("URL"), link.url);
            rs.update();
        }
        transaction.commit();
    });
}

bool WriteLockHolder::take(const QString& path)
{
    m_shell.start(QStringLiteral("sqlcipher"), {path});
    m_shell.write("PRAGMA key = 'vunok';\nPRAGMA cipher_compatibility = 3;\n"
                  "BEGIN IMMEDIATE;\nSELECT 'held';\n");
    while (!m_shell.readAllStandardOutput().contains("held")) {
        if (!m_shell.waitForReadyRead(10000))
            return false;
    }
    return true;
}

WriteLockHolder::~WriteLockHolder()
{
    m_shell.closeWriteChannel();
    if (!m_shell.waitForFinished(10000))
        m_shell.kill();
}

bool TempLinksDb::writeFromAnotherProcess(const QByteArray& sql) const
{
    return runInShell(path(), sql).has_value();
}

QList<Link> linksIn(const QString& path)
{
    return reported("linksIn", [&path] {
        QList<Link> links;
        Recordset rs = Database::open(path, LinksDb::connect()).openRecordset(kLinks, RecordsetType::Table);
        if (const int count = rs.recordCount(); count > 0) {
            QList<QStringList> texts;
            QList<qint64> ids;
            rs.moveFirst();
            rs.readTexts({QStringLiteral("SiteName"), QStringLiteral("URL")}, count, texts, ids);
            for (qsizetype i = 0; i < ids.size(); ++i)
                links.append(Link{texts[0][i], texts[1][i], ids[i]});
        }
        return links;
    });
}

QList<Link> withoutIds(QList<Link> links)
{
    for (Link& link : links)
        link.id = -1;
    return links;
}

QByteArray dumpFile(const QString& path)
{
    return runInShell(path, ".dump").value_or(QByteArray());
}

QList<Link> TempLinksDb::links() const
{
    return reported("TempLinksDb::links", [this] {
        Database db = open();
        Recordset rs = db.openRecordset(kLinks, RecordsetType::Table);
        QList<Link> result;
        const int count = rs.recordCount();
        if (count > 0)
            rs.moveFirst();
        for (int i = 0; i < count; ++i) {
            result.append({rs.text(QStringLiteral("SiteName")), rs.text(QStringLiteral("URL"))});
            rs.moveNext();
        }
        return result;
    });
}

int TempLinksDb::linkCount() const
{
    return reported("TempLinksDb::linkCount", [this] {
        Database db = open();
        return db.openRecordset(kLinks, RecordsetType::Table).recordCount();
    });
}

void TempLinksDb::setOther(const QVariant& firstRun, const QVariant& passwordProtected, const QVariant& username,
                           const QVariant& password) const
{
    // A default-constructed QString would bind as Null in some drivers; only an invalid QVariant means Null.
    auto stored = [](const QVariant& v) {
        if (v.isValid() && v.metaType() == QMetaType::fromType<QString>() && v.toString().isNull())
            return QVariant(QStringLiteral(""));
        return v;
    };
    reported("TempLinksDb::setOther", [&] {
        Database db = open();
        Recordset rs = db.openRecordset(kOther, RecordsetType::Table);
        rs.edit();
        rs.setValue(QStringLiteral("FirstRun"), stored(firstRun));
        rs.setValue(QStringLiteral("PasswordProtected"), stored(passwordProtected));
        rs.setValue(QStringLiteral("Username"), stored(username));
        rs.setValue(QStringLiteral("Password"), stored(password));
        rs.update();
    });
}

QVariant TempLinksDb::other(const QString& field) const
{
    return reported("TempLinksDb::other", [&] {
        Database db = open();
        return db.openRecordset(kOther, RecordsetType::Table).value(field);
    });
}

QByteArray TempLinksDb::bytes() const
{
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly)) {
        QTest::qFail(qPrintable(QStringLiteral("TempLinksDb::bytes: cannot read %1").arg(path())), __FILE__,
                     __LINE__);
        return {};
    }
    return file.readAll();
}

// ---------------------------------------------------------------------------------------------
// ScriptedMessageBox

ScriptedMessageBox::ScriptedMessageBox()
{
    platform::setMessageBoxProvider(this);
}

ScriptedMessageBox::~ScriptedMessageBox()
{
    platform::setMessageBoxProvider(nullptr);
}

void ScriptedMessageBox::answerNext(int answer)
{
    m_answers.push_back(answer);
}

void ScriptedMessageBox::onNextBox(std::function<void(const Box&)> peek)
{
    m_peeks.push_back(std::move(peek));
}

int ScriptedMessageBox::show(const QString& text, const QString& title, int style)
{
    boxes.append({text, title, style});
    if (!m_peeks.empty()) {
        auto peek = std::move(m_peeks.front());
        m_peeks.pop_front();
        if (peek)
            peek(boxes.last());
    }
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    // The default button: Yes or No for a Yes/No box, OK otherwise.
    if ((style & 0x0F) != platform::MsgStyle::YesNo)
        return platform::MsgAnswer::Ok;
    return style & platform::MsgStyle::DefaultButton2 ? platform::MsgAnswer::No : platform::MsgAnswer::Yes;
}

QStringList ScriptedMessageBox::texts() const
{
    QStringList result;
    for (const Box& box : boxes)
        result.append(box.text);
    return result;
}

// ---------------------------------------------------------------------------------------------
// RecordingOpener, FakeInstanceGuard

ScriptedFileDialog::ScriptedFileDialog()
{
    platform::setFileDialogProvider(this);
}

ScriptedFileDialog::~ScriptedFileDialog()
{
    platform::setFileDialogProvider(nullptr);
}

QString ScriptedFileDialog::openFile(const QString& title, const QString&)
{
    titles << title;
    return answer;
}

QString ScriptedFileDialog::saveFile(const QString& title, const QString&, const QString&)
{
    titles << title;
    return answer;
}

RecordingOpener::RecordingOpener()
{
    platform::setOpener(this);
}

RecordingOpener::~RecordingOpener()
{
    platform::setOpener(nullptr);
}

bool RecordingOpener::open(const QString& target)
{
    opened.append(target);
    return !cannotStart;
}

FakeInstanceGuard::FakeInstanceGuard()
{
    platform::setInstanceGuard(this);
}

FakeInstanceGuard::~FakeInstanceGuard()
{
    platform::setInstanceGuard(nullptr);
}

// ---------------------------------------------------------------------------------------------
// LocalHttpServer

LocalHttpServer::LocalHttpServer()
{
    if (!isListening())
        qFatal("LocalHttpServer: cannot listen on 127.0.0.1");
}

void LocalHttpServer::serve(const QString& path, int status, const QByteArray& body, const QByteArray& contentType)
{
    Reply reply(status, {}, body);
    reply.contentType = contentType;
    sequence(path, {reply});
}

void LocalHttpServer::silent(const QString& path)
{
    sequence(path, {Reply::silence()});
}

void LocalHttpServer::stream(const QString& path, qint64 total, int pieceBytes, int intervalMs)
{
    sequence(path, {Reply::stream(total, pieceBytes, intervalMs)});
}

QString LocalHttpServer::host() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

QStringList LocalHttpServer::requestedPaths() const
{
    QStringList targets;
    for (const SeenRequest& request : requests)
        targets.append(request.target);
    return targets;
}

quint16 refusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        qFatal("refusedPort: cannot listen on 127.0.0.1: %s", qPrintable(probe.errorString()));
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// ---------------------------------------------------------------------------------------------
// Application helpers

int errorOf(const std::function<void()>& body)
{
    try {
        body();
    } catch (const DbError& e) {
        return e.number();
    }
    return 0;
}

void resetApplication()
{
    kit::resetForTests();
    // The next test logs in, or not, for itself.
    Protection::forgetKey();
    platform::releaseInstanceLock();
    // Unloaded windows destroy themselves later: let that happen now, twice for windows whose
    // destruction posts further deletions.
    for (int round = 0; round < 2; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
    // Ending the application told Qt to quit: until the application's own loop has run, every
    // new local loop (a real message box, a synchronous GET) would return at once. One turn of
    // that loop clears it; only possible when no loop is running, as in a test function.
    if (QThread::currentThread()->loopLevel() == 0) {
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
        QCoreApplication::exec();
    }
}

void triggerAction(QAction* action, const char* name)
{
    QString problem;
    if (!action)
        problem = QStringLiteral("no action named %1").arg(QLatin1String(name));
    else if (!action->isVisible())
        problem = QStringLiteral("action %1 is hidden").arg(QLatin1String(name));
    else if (!action->isEnabled())
        problem = QStringLiteral("action %1 is disabled").arg(QLatin1String(name));
    if (!problem.isEmpty()) {
        QTest::qFail(qPrintable(QStringLiteral("triggerAction: ") + problem), __FILE__, __LINE__);
        return;
    }
    action->trigger();
}

FullDisk::FullDisk() = default;

FullDisk::~FullDisk()
{
    if (m_mounted)
        umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

QString FullDisk::fill(const QString& file)
{
    static const bool ownNamespace =
        unshare(CLONE_NEWNS) == 0 && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    if (!ownNamespace)
        return QStringLiteral("no mount namespace of its own (needs root): %1").arg(qt_error_string());
    m_mounted = mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    if (!m_mounted)
        return QStringLiteral("cannot mount a tmpfs: %1").arg(qt_error_string());
    if (!file.isEmpty() && !QFile::copy(file, m_dir.filePath(LinksDb::fileName())))
        return QStringLiteral("cannot copy links.mdb onto the tmpfs");
    QFile filler(m_dir.filePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::WriteOnly))
        return filler.errorString();
    const QByteArray page(4096, 'x');
    while (filler.write(page) == page.size() && filler.flush()) {
    }
    if (QStorageInfo(m_dir.path()).bytesAvailable() != 0)
        return QStringLiteral("the tmpfs did not fill up");
    if (!file.isEmpty())
        LinksDb::setFolder(m_dir.path());
    return {};
}

QString FullDisk::folder() const
{
    return m_dir.path();
}

} // namespace testkit
