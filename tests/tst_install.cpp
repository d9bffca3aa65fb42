// The installed program: `cmake --install` into a temporary root, the tree and the desktop files it
// holds checked with the desktop's own validators, and the installed executable run with a home of
// its own: the command line, where the links file lives, the first start and the refused starts.
// The installed program shows real boxes that wait for a user, so what it does is read from the
// files it leaves; the windows and boxes of the same start-up are read from the harness, which
// chooses the file the same way when it is given no folder.
#include "data/LinksDb.h"
#include "testkit/Harness.h"
#include "testkit/TestKit.h"

#include "TessaryVersion.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <ctime>

#include <sys/time.h>

namespace {

const QString AppId = QStringLiteral("com.example.tessary");

// Every entry below root, relative to it, sorted: files, folders, hidden ones too.
QStringList entriesUnder(const QString& root)
{
    QStringList found;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(root).relativeFilePath(it.next()));
    found.sort();
    return found;
}

// FirstRun of the file at path, -1 when it cannot be read. The welcome window's load sets it to 1.
int firstRun(const QString& path)
{
    int value = -1;
    testkit::errorOf([&] {
        Database db = Database::open(path, LinksDb::connect());
        value = db.openRecordset(QStringLiteral("Other"), RecordsetType::Table)
                    .value(QStringLiteral("FirstRun"))
                    .toInt();
    });
    return value;
}

// A user of our own: an empty home and a private runtime folder (the single-instance lock's place).
struct User {
    QTemporaryDir home;
    testkit::RuntimeDir runtime;

    QString dataFolder() const { return home.path() + QStringLiteral("/.local/share/tessary"); }

    // The desktop's environment with our home; XDG_DATA_HOME unset, so the data folder is the default.
    QProcessEnvironment environment(bool withDisplay) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name :
             {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        if (withDisplay)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    // The harness as this user, choosing its file as the program does (no folder given).
    std::unique_ptr<testkit::Harness> harness() const
    {
        auto program = std::make_unique<testkit::Harness>(QString(), runtime.path());
        program->setEnv(QStringLiteral("HOME"), home.path());
        program->setEnv(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/.local/share"));
        return program;
    }
};

// Waits until the links file at path records a first start, while program runs.
bool waitForFirstStart(const QString& path, QProcess& program)
{
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && program.state() != QProcess::NotRunning) {
        if (QFileInfo::exists(path) && firstRun(path) == 1)
            return true;
        program.waitForFinished(50);
    }
    return false;
}

QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

struct Ran {
    int exitCode = -1;
    QString out, err;
};

Ran run(const QString& program, const QStringList& arguments,
        const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

} // namespace

class tst_install : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_root; // DESTDIR
    QString usr() const { return m_root.path() + QStringLiteral("/usr"); }
    QString program() const { return usr() + QStringLiteral("/bin/tessary"); }

private Q_SLOTS:
    void initTestCase();
    void tree_holdsTheProgramAndItsDesktopFilesOnly();
    void desktopFiles_validateAndNameWhatIsInstalled();
    void manualPage_namesTheVersionAndEveryOptionOfHelp();
    void commandLine_answersOrRefusesWithoutTouchingAnything_data();
    void commandLine_answersOrRefusesWithoutTouchingAnything();
    void firstStart_makesTheDataFolderThenTheNextStartFindsIt();
    void firstStart_killedLeavesNoDataFolderWithoutItsFile();
    void refusedStart_saysWhyAndMakesNothing_data();
    void refusedStart_saysWhyAndMakesNothing();
    void fileBesideTheProgram_wins();
    void instanceLock_onePerFile();
};

void tst_install::initTestCase()
{
    QVERIFY(m_root.isValid());
    // The harness would take a links.mdb beside it for portable use.
    QVERIFY(!QFile::exists(QFileInfo(QStringLiteral(HARNESS_EXE)).absolutePath() + QStringLiteral("/links.mdb")));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DESTDIR"), m_root.path());
    const Ran install = run(QStringLiteral(CMAKE_EXE),
                            {QStringLiteral("--install"), QStringLiteral(BUILD_DIR), QStringLiteral("--prefix"),
                             QStringLiteral("/usr")},
                            env);
    QVERIFY2(install.exitCode == 0, qPrintable(install.out + install.err));
}

void tst_install::tree_holdsTheProgramAndItsDesktopFilesOnly()
{
    QStringList expected{QStringLiteral("usr/bin/tessary"),
                         QStringLiteral("usr/share/applications/%1.desktop").arg(AppId),
                         QStringLiteral("usr/share/metainfo/%1.metainfo.xml").arg(AppId),
                         QStringLiteral("usr/share/man/man1/tessary.1.gz")};
    const QList<int> sizes{16, 32, 48, 128, 256};
    for (int size : sizes)
        expected.append(QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
    QStringList files;
    for (const QString& entry : entriesUnder(m_root.path())) {
        if (QFileInfo(m_root.filePath(entry)).isFile())
            files.append(entry);
    }
    expected.sort();
    // No links.mdb, file tool, harness or test among them.
    QCOMPARE(files, expected);

    QVERIFY(QFileInfo(program()).isExecutable());
    for (int size : sizes) {
        const QImage icon(usr() + QStringLiteral("/share/icons/hicolor/%1x%1/apps/%2.png").arg(size).arg(AppId));
        QCOMPARE(icon.size(), QSize(size, size));
        QVERIFY(icon.hasAlphaChannel());
    }
}

void tst_install::desktopFiles_validateAndNameWhatIsInstalled()
{
    const QString desktop = usr() + QStringLiteral("/share/applications/%1.desktop").arg(AppId);
    const QString metainfo = usr() + QStringLiteral("/share/metainfo/%1.metainfo.xml").arg(AppId);

    const QString desktopValidator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
    const QString appstream = QStandardPaths::findExecutable(QStringLiteral("appstreamcli"));
    QVERIFY2(!desktopValidator.isEmpty() && !appstream.isEmpty(),
             "tools/install-deps.sh installs desktop-file-utils and appstream");
    const Ran entryCheck = run(desktopValidator, {desktop});
    QCOMPARE(entryCheck.exitCode, 0);
    QCOMPARE(entryCheck.out + entryCheck.err, QString()); // a warning counts too
    const Ran metaCheck = run(appstream, {"validate", "--no-net", "--pedantic", metainfo});
    QVERIFY2(metaCheck.exitCode == 0, qPrintable(metaCheck.out + metaCheck.err));

    // What the validators cannot see: that the names point at what was installed.
    const QString entry = readText(desktop);
    QVERIFY(entry.contains("\nExec=" + QFileInfo(program()).fileName() + "\n"));
    QVERIFY(entry.contains("\nIcon=" + AppId + "\n"));
    const QString meta = readText(metainfo);
    QVERIFY(meta.contains("<id>" + AppId + "</id>"));
    QVERIFY(meta.contains("<launchable type=\"desktop-id\">" + QFileInfo(desktop).fileName() + "</launchable>"));
    // The newest release, listed first, is the one built.
    QCOMPARE(meta.indexOf("<release "),
             meta.indexOf(QStringLiteral("<release version=\"%1\"").arg(QLatin1String(release::Version))));
    QVERIFY(meta.contains("<release "));
}

void tst_install::manualPage_namesTheVersionAndEveryOptionOfHelp()
{
    const Ran unpacked =
        run(QStringLiteral("gzip"), {"-dc", usr() + QStringLiteral("/share/man/man1/tessary.1.gz")});
    QVERIFY2(unpacked.exitCode == 0, qPrintable(unpacked.err));
    const QString page = unpacked.out;
    QVERIFY2(page.startsWith(QStringLiteral(".TH TESSARY 1 ")), qPrintable(page.left(80)));
    QVERIFY(page.section(QLatin1Char('\n'), 0, 0).contains(QLatin1String(release::Version)));

    // Every option the program's own help lists is in the manual, as roff writes it (\-\-help).
    const Ran help = run(program(), {"--help"});
    QCOMPARE(help.exitCode, 0);
    static const QRegularExpression option(QStringLiteral("^  (-\\w), (--\\w+) "),
                                           QRegularExpression::MultilineOption);
    QStringList options;
    for (const QRegularExpressionMatch& m : option.globalMatch(help.out))
        options << m.captured(1) << m.captured(2);
    QVERIFY2(options.contains(QStringLiteral("--version")), qPrintable(help.out)); // the help was read
    for (const QString& name : options) {
        // Whole words: the short -v must not be found at the start of \-\-version.
        const QString roff = QString(name).replace(QLatin1Char('-'), QStringLiteral("\\-"));
        QVERIFY2(page.contains(QRegularExpression(QRegularExpression::escape(roff) + QStringLiteral("(?!\\w)"))),
                 qPrintable(name));
    }
}

void tst_install::commandLine_answersOrRefusesWithoutTouchingAnything_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");       // stdout starts with it
    QTest::addColumn<QString>("complaint"); // stderr holds it, else stderr is empty

    const QString version = QStringLiteral("Orvane Tessary %1\n").arg(QLatin1String(release::Version));
    const QString usage = QStringLiteral("Usage: tessary [--help] [--version]\n");
    QTest::newRow("--version") << QStringList{"--version"} << 0 << version << QString();
    QTest::newRow("--help") << QStringList{"--help"} << 0 << usage << QString();
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << 2 << QString()
                                    << "tessary: Unknown option 'frobnicate'.\n" + usage;
    QTest::newRow("a file named") << QStringList{"links.mdb"} << 2 << QString()
                                  << "tessary: Unexpected argument 'links.mdb'.\n" + usage;
    QTest::newRow("Qt's own option") << QStringList{"-platform", "offscreen"} << 2 << QString()
                                     << "tessary: Unknown option 'platform'.\n" + usage;
}

void tst_install::commandLine_answersOrRefusesWithoutTouchingAnything()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, complaint);

    // No display at all: any window, even the application object, would end it otherwise.
    User user;
    const Ran ran = run(program(), arguments, user.environment(false));
    QCOMPARE(ran.exitCode, exitCode);
    QVERIFY2(ran.out.startsWith(out), qPrintable(ran.out));
    if (out.isEmpty())
        QCOMPARE(ran.out, QString());
    if (complaint.isEmpty())
        QCOMPARE(ran.err, QString());
    else
        QVERIFY2(ran.err.endsWith(complaint), qPrintable(ran.err));
    QCOMPARE(entriesUnder(user.home.path()), QStringList());
    QCOMPARE(entriesUnder(user.runtime.path()), QStringList());
}

void tst_install::firstStart_makesTheDataFolderThenTheNextStartFindsIt()
{
    const QStringList madeFolder{".local", ".local/share", ".local/share/tessary",
                                 ".local/share/tessary/links.mdb"};
    {
        // The installed program, XDG_DATA_HOME unset: the file lands in ~/.local/share/tessary and
        // the welcome window's load records the first start in it.
        User user;
        QProcess installed;
        installed.setProcessEnvironment(user.environment(true));
        installed.start(program(), {});
        QVERIFY(waitForFirstStart(user.dataFolder() + QStringLiteral("/links.mdb"), installed));
        installed.kill();
        installed.waitForFinished();
        QCOMPARE(entriesUnder(user.home.path()), madeFolder);

        // The next start finds it: past the welcome, straight to the main window.
        auto next = user.harness();
        next->start();
        QCOMPARE(next->waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));
        QCOMPARE(next->boxes().size(), 0);
        QCOMPARE(entriesUnder(user.home.path()), madeFolder);
    }
    // The same first start with its windows in view.
    User user;
    auto first = user.harness();
    first->start();
    QCOMPARE(first->waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmFirstTime"));
    QCOMPARE(first->boxes().size(), 0);
    QCOMPARE(entriesUnder(user.home.path()), madeFolder);
    QCOMPARE(firstRun(user.dataFolder() + QStringLiteral("/links.mdb")), 1);
}

// A first start killed at any moment: the data folder is either not there or there with a whole
// links.mdb, never empty, so the next start neither reports a lost file nor hides one. What the
// killed start left under a temporary name is cleared by a later first start once an hour old.
void tst_install::firstStart_killedLeavesNoDataFolderWithoutItsFile()
{
    int before = 0, after = 0;
    for (int delayMs = 0; delayMs <= 600; delayMs += 30) {
        User user;
        auto first = user.harness();
        first->start();
        QThread::msleep(delayMs);
        first->kill();
        const QString folder = user.dataFolder();
        if (!QFileInfo::exists(folder)) {
            ++before;
            continue;
        }
        ++after;
        QVERIFY2(QFileInfo::exists(folder + QStringLiteral("/links.mdb")),
                 qPrintable(entriesUnder(folder).join(' ')));
        QVERIFY(firstRun(folder + QStringLiteral("/links.mdb")) >= 0);
    }
    // Both sides of the moment the folder appears were met.
    QVERIFY2(before > 0 && after > 0, qPrintable(QStringLiteral("%1 before, %2 after").arg(before).arg(after)));

    User user;
    const QString share = user.home.path() + QStringLiteral("/.local/share");
    QVERIFY(QDir().mkpath(share + QStringLiteral("/.tessary-new-abc123")));
    QVERIFY(QDir().mkpath(share + QStringLiteral("/.tessary-new-def456")));
    QFile stale(share + QStringLiteral("/.tessary-new-abc123/links.mdb"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.close();
    // A day old (the folder's time is the one read).
    const timeval dayAgo[2] = {{std::time(nullptr) - 86400, 0}, {std::time(nullptr) - 86400, 0}};
    QVERIFY(::utimes(QFile::encodeName(share + QStringLiteral("/.tessary-new-abc123")).constData(), dayAgo) == 0);
    auto next = user.harness();
    next->start();
    QCOMPARE(next->waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmFirstTime"));
    QCOMPARE(entriesUnder(share), (QStringList{".tessary-new-def456", "tessary", "tessary/links.mdb"}));
}

void tst_install::refusedStart_saysWhyAndMakesNothing_data()
{
    QTest::addColumn<QString>("blocker"); // what stands in ~/.local/share beforehand
    QTest::addColumn<QString>("text");    // the box's text; "~" stands for the home

    // A lost file is never hidden behind a fresh empty one.
    QTest::newRow("data folder without its file")
        << "folder tessary"
        << "Run-time error '3024':\\n\\nCould not find file '~/.local/share/tessary/links.mdb'.";
    QTest::newRow("data folder cannot be made")
        << "file share"
        << "Orvane Tessary could not create its data folder ~/.local/share/tessary for your links: "
           "the folder ~/.local/share could not be made.";
}

void tst_install::refusedStart_saysWhyAndMakesNothing()
{
    QFETCH(QString, blocker);
    QFETCH(QString, text);

    User user;
    const QString share = user.home.path() + QStringLiteral("/.local/share");
    if (blocker == QLatin1String("file share")) {
        QVERIFY(QDir().mkpath(user.home.path() + QStringLiteral("/.local")));
        QFile file(share);
        QVERIFY(file.open(QIODevice::WriteOnly)); // even root cannot make a folder inside a file
    } else {
        QVERIFY(QDir().mkpath(user.dataFolder()));
    }
    const QStringList before = entriesUnder(user.home.path());

    auto program = user.harness();
    program->start();
    QVERIFY(program->waitForExit());
    QCOMPARE(program->exitCode(), 1);
    QCOMPARE(program->windowsShown(), QStringList());
    QCOMPARE(program->boxes().size(), 1);
    QCOMPARE(program->boxes()[0].style, 16);
    QCOMPARE(program->boxes()[0].text, QString(text).replace(QLatin1Char('~'), user.home.path()));
    QCOMPARE(entriesUnder(user.home.path()), before);
}

void tst_install::fileBesideTheProgram_wins()
{
    const QString beside = usr() + QStringLiteral("/bin/links.mdb");
    QString error;
    QVERIFY2(LinksDb::create(beside, &error), qPrintable(error));
    const auto removeBeside = qScopeGuard([&] { QFile::remove(beside); });

    User user;
    QProcess installed;
    installed.setProcessEnvironment(user.environment(true));
    installed.start(program(), {});
    QVERIFY(waitForFirstStart(beside, installed));
    installed.kill();
    installed.waitForFinished();
    QCOMPARE(entriesUnder(user.home.path()), QStringList());
}

void tst_install::instanceLock_onePerFile()
{
    testkit::TempLinksDb one;
    one.setOther(1, QStringLiteral("No"));
    testkit::TempLinksDb other;
    other.setOther(1, QStringLiteral("No"));
    QTemporaryDir links;
    const QString sameAsOne = links.filePath(QStringLiteral("same"));
    QVERIFY(QFile::link(one.folder(), sameAsOne));
    testkit::RuntimeDir runtime; // one user's session

    testkit::Harness first(one.folder(), runtime.path());
    first.start();
    QCOMPARE(first.waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));

    // Another file opens beside it.
    testkit::Harness second(other.folder(), runtime.path());
    second.start();
    QCOMPARE(second.waitForLine(QStringLiteral("WINDOWS")), QStringLiteral("WINDOWS\tfrmMain"));
    QCOMPARE(second.boxes().size(), 0);

    // The first file by another path is still the first file.
    testkit::Harness third(sameAsOne, runtime.path());
    third.start();
    QVERIFY(third.waitForExit());
    QCOMPARE(third.windowsShown(), QStringList());
    QCOMPARE(third.boxes().size(), 1);
    QCOMPARE(third.boxes()[0].text, QStringLiteral("Orvane Tessary is already running in memory"));
}

QTEST_MAIN(tst_install)
#include "tst_install.moc"
