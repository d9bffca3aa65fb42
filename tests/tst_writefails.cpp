// Every write command of the user against a write that really fails: another process holds the
// write lock past the busy time-out, or the disk is full. The user must be told (the unexpected-
// failure box, then the end) and links.mdb must be left exactly as it was: a write that failed
// silently would lose a new link without a word.

#include "app/frmMain.h"
#include "data/DbError.h"
#include "data/LinksDb.h"
#include "data/LinksLocation.h"
#include "forms/edit/frmEditSites.h"
#include "forms/edit/frmEditThisSite.h"
#include "forms/edit/frmNewSite.h"
#include "forms/protect/frmOptions.h"
#include "forms/protect/frmPassword.h"
#include "forms/protect/frmPasswordProtected.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <optional>

using testkit::WriteLockHolder;

namespace {

// Opens the windows of one write command and fills them in; returns the user's last step, the
// one that writes.
using Command = std::function<std::function<void()>(frmMain*)>;

std::function<void()> clickOf(QPushButton* button)
{
    return [button] { QTest::mouseClick(button, Qt::LeftButton); };
}

std::function<void()> triggerOf(QAction* action, const char* name)
{
    return [action, name] { testkit::triggerAction(action, name); };
}

frmPassword* protectionChoice(frmMain* main)
{
    testkit::triggerAction(main->mnuOptions, "mnuOptions");
    QTest::mouseClick(Forms::find<frmOptions>()->Command1, Qt::LeftButton);
    return Forms::find<frmPassword>();
}

const QList<std::pair<const char*, Command>>& commands()
{
    static const QList<std::pair<const char*, Command>> table = {
        {"New Site Link",
         [](frmMain* main) {
             testkit::triggerAction(main->mnuNewContact, "mnuNewContact");
             frmNewSite* form = Forms::find<frmNewSite>();
             QTest::keyClicks(form->txtname, QStringLiteral("gamma"));
             QTest::keyClicks(form->txtURL, QStringLiteral("http://gamma.example"));
             return clickOf(form->Command2);
         }},
        {"Edit This Site",
         [](frmMain* main) {
             testkit::triggerAction(main->mnuEditSite, "mnuEditSite");
             testkit::clickEntry(Forms::find<frmEditSites>()->List1, 0);
             frmEditThisSite* form = Forms::find<frmEditThisSite>();
             form->txtname->clear();
             QTest::keyClicks(form->txtname, QStringLiteral("renamed"));
             return clickOf(form->Command2);
         }},
        {"Delete Selected Site Link",
         [](frmMain* main) {
             testkit::clickEntry(main->List1, 0);
             return triggerOf(main->mnuDeleteSelectedContact, "mnuDeleteSelectedContact");
         }},
        {"Delete All Site Links",
         [](frmMain* main) { return triggerOf(main->mnuDeleteAllContacts, "mnuDeleteAllContacts"); }},
        {"protection switched off", [](frmMain* main) { return clickOf(protectionChoice(main)->Command2); }},
        {"new credentials",
         [](frmMain* main) {
             QTest::mouseClick(protectionChoice(main)->Command1, Qt::LeftButton);
             frmPasswordProtected* form = Forms::find<frmPasswordProtected>();
             QTest::keyClicks(form->txtus, QStringLiteral("bob"));
             QTest::keyClicks(form->txtp, QStringLiteral("new"));
             QTest::keyClicks(form->txtp2, QStringLiteral("new"));
             return clickOf(form->Command2);
         }},
    };
    return table;
}

} // namespace

class tst_writefails : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void failedWriteIsToldAndChangesNothing_data();
    void failedWriteIsToldAndChangesNothing();
    void firstStartOnAFullDisk_leavesNoDataFolder();
};

void tst_writefails::failedWriteIsToldAndChangesNothing_data()
{
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("diskFull"); // else another process holds the write lock
    for (int i = 0; i < commands().size(); ++i) {
        QTest::addRow("%s, file locked", commands()[i].first) << i << false;
        QTest::addRow("%s, disk full", commands()[i].first) << i << true;
    }
}

void tst_writefails::failedWriteIsToldAndChangesNothing()
{
    QFETCH(int, command);
    QFETCH(bool, diskFull);

    // Declared first so the session closes its windows before the disk goes.
    testkit::FullDisk disk;
    testkit::Session s;
    s.file.addLinks({{"alpha", "http://alpha.example"}, {"beta", "http://beta.example"}});
    s.file.setOther(1, QStringLiteral("Yes"), QStringLiteral("ann"), QStringLiteral("pw"));
    if (diskFull) {
        const QString why = disk.fill(s.file.path());
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
    }
    QVERIFY(s.open());
    const std::function<void()> write = commands()[command].second(s.main);
    QVERIFY(!QTest::currentTestFailed());

    auto fileBytes = [] {
        QFile file(LinksDb::path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QByteArray before = fileBytes();
    QVERIFY(!before.isEmpty());
    std::optional<WriteLockHolder> lock;
    if (!diskFull)
        QVERIFY(lock.emplace().take(LinksDb::path()));
    write();
    lock.reset();

    const QString description =
        diskFull ? QStringLiteral("The disk is full; '%1' was not changed.").arg(LinksDb::path())
                 : QStringLiteral("'%1' is in use by another copy of the program. Please try again in a moment.")
                       .arg(LinksDb::path());
    const int number = diskFull ? DbErr::EngineFailure : DbErr::Locked;
    QVERIFY(!s.boxes.boxes.isEmpty());
    QCOMPARE(s.boxes.boxes.last().text, QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description));
    QCOMPARE(s.boxes.boxes.last().style, platform::MsgStyle::Critical);
    QVERIFY(kit::hasEnded());
    QCOMPARE(kit::exitCode(), 1);
    QCOMPARE(fileBytes(), before);
}

// The very first start with no room on the disk for the fresh links.mdb: it says why, and leaves
// no data folder behind (an empty one would later read as a lost file) and nothing half-built.
void tst_writefails::firstStartOnAFullDisk_leavesNoDataFolder()
{
    testkit::FullDisk disk;
    const QString problem = disk.fill();
    if (!problem.isEmpty())
        QSKIP(qPrintable(problem));
    QTemporaryDir programFolder; // no links.mdb beside the program
    QVERIFY(programFolder.isValid());
    const QString folder = disk.folder() + QStringLiteral("/share/tessary");

    const LinksLocation::Choice choice = LinksLocation::choose(programFolder.path(), folder);
    QVERIFY(choice.folder.isEmpty());
    QVERIFY2(choice.error.startsWith(QStringLiteral("Orvane Tessary could not create its data folder %1 for your "
                                                    "links: ")
                                         .arg(folder)),
             qPrintable(choice.error));
    QVERIFY(!QFileInfo::exists(folder));
    QDir share(disk.folder() + QStringLiteral("/share"));
    QCOMPARE(share.exists() ? share.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                            : QStringList(),
             QStringList());
}

QTEST_MAIN(tst_writefails)
#include "tst_writefails.moc"
