// "Import Bookmarks..." and "Export Bookmarks..." driven from the main window's menu on a real
// file: what is added and skipped with the counts, all or nothing, the list afterwards, the
// exported file and its way back in.

#include "app/frmMain.h"
#include "bookmarkfile/BookmarkFile.h"
#include "data/LinksStore.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Lifecycle.h"
#include "windowkit/ListBox.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressDialog>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using testkit::entries;
using testkit::Link;

namespace {

// A browser's export as it is written: nested folders, attributes, entities, unclosed tags.
// clang-format off
const QByteArray Export =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
    "<TITLE>Bookmarks</TITLE>\n"
    "<H1>Bookmarks Menu</H1>\n"
    "<DL><p>\n"
    "    <DT><A HREF=\"https://news.example/\" ADD_DATE=\"1700000000\">News &amp; Views</A>\n"
    "    <DD>a description that is not a link\n"
    "    <DT><H3>Folder</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"place:sort=8&maxResults=10\">Recent Tags</A>\n"
    "        <DT><A HREF=\"javascript:alert(1)\">Bookmarklet</A>\n"
    "        <dt><a add_date=\"1\" href=\"https://kept.example/\">Kept</a>\n"
    "        <DT><A HREF=\"https://b.example/\">alpha</A>\n"
    "        <DT><A>No address</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"https://again.example/\">News &amp; Views</A>\n"
    "    <DT><A HREF=\"https://caf&eacute;.example/\">Caf\xc3\xa9</A>\n"
    "</DL><p>\n";
// clang-format on

const QString ImportTitle = QStringLiteral("Import Bookmarks");
const QString ExportTitle = QStringLiteral("Export Bookmarks");

QString writeTemp(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return {};
    return path;
}

} // namespace

class tst_bookmarks : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { testkit::resetApplication(); }

    void importAddsWhatIsNewAndCountsTheRest();
    void addAllSkipsStoredAndRepeatedNamesExactly();
    void importIsAllOrNothing_data();
    void importIsAllOrNothing();
    void exportWritesTheListAndReadsBackTheSame();
    void ownExportComesBackExactlyAndAddsNothing();
    void tooLongNamesAreSkippedAndCounted();
};

void tst_bookmarks::importAddsWhatIsNewAndCountsTheRest()
{
    testkit::Session s;
    testkit::TempLinksDb& file = s.file;
    testkit::ScriptedMessageBox& boxes = s.boxes;
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    // "Alpha" differs from the file's "alpha" in letter case: names are compared exactly.
    QVERIFY(s.open({{"Kept", "mine"}, {"Alpha", "a"}}));
    frmMain* main = s.main;
    dialog.answer = writeTemp(dir, QStringLiteral("firefox.html"), Export);

    QTest::keyClick(main, Qt::Key_I, Qt::ControlModifier);
    QCOMPARE(dialog.titles, QStringList{ImportTitle});
    QCOMPARE(file.links(), (QList<Link>{{"Kept", "mine"},
                                        {"Alpha", "a"},
                                        {"News & Views", "https://news.example/"},
                                        {"alpha", "https://b.example/"},
                                        {"Café", "https://café.example/"}}));
    QCOMPARE(boxes.texts(), QStringList{"3 links added from \"firefox.html\".\r\rSkipped:\r"
                                        "1 link whose name is already in your list\r"
                                        "1 link whose name came earlier in the file\r"
                                        "1 link without an address\r"
                                        "2 links that are browser queries, scripts or inline data (place:, "
                                        "javascript:, data:)"});
    QCOMPARE(boxes.boxes[0].style, 64);
    QCOMPARE(boxes.boxes[0].title, ImportTitle);
    // As after a new link: the list and count follow, the details stay.
    QCOMPARE(entries(main->List1), (QStringList{"Alpha", "alpha", "Café", "Kept", "News & Views"}));
    QCOMPARE(main->lblTotalContacts->text(), QStringLiteral("5"));
    QCOMPARE(main->lblSiteName->text(), QStringLiteral("Alpha"));

    // The same file again adds nothing and changes nothing.
    boxes.boxes.clear();
    const QList<Link> before = file.links();
    testkit::triggerAction(main->mnuImportBookmarks, "mnuImportBookmarks");
    QCOMPARE(file.links(), before);
    QVERIFY(boxes.texts().value(0).startsWith(QStringLiteral("0 links added")));
}

void tst_bookmarks::addAllSkipsStoredAndRepeatedNamesExactly()
{
    testkit::TempLinksDb file;
    file.addLinks({{"Maps", "0"}});
    const LinksStore::AddAllResult result = LinksStore::addAll(
        {{"News", "1"}, {"news", "2"}, {"Maps", "3"}, {"News", "4"}, {"Maps", "5"}, {"Maps ", "6"}});
    QVERIFY(result.done);
    QCOMPARE(result.added, 3);
    QCOMPARE(result.existing, 1);
    QCOMPARE(result.repeated, 2);
    QCOMPARE(file.links(), (QList<Link>{{"Maps", "0"}, {"News", "1"}, {"news", "2"}, {"Maps ", "6"}}));
}

void tst_bookmarks::importIsAllOrNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("said"); // the start of the one message
    QTest::newRow("cancel while reading") << "cancel reading"
                                          << "The import was cancelled: nothing was changed.";
    QTest::newRow("cancel while adding") << "cancel adding"
                                         << "The import was cancelled: nothing was changed.";
    QTest::newRow("file locked by another copy") << "locked"
                                                 << "Nothing was imported from \"";
    QTest::newRow("empty file") << "empty"
                                << "Nothing was imported from \"";
    QTest::newRow("no bookmarks in it") << "text"
                                        << "Nothing was imported from \"";
    QTest::newRow("no such file") << "missing"
                                  << "Nothing was imported from \"";
    QTest::newRow("nested too deeply") << "deep"
                                       << "Nothing was imported from \"";
}

void tst_bookmarks::importIsAllOrNothing()
{
    QFETCH(QString, how);
    QFETCH(QString, said);
    testkit::Session s;
    testkit::TempLinksDb& file = s.file;
    testkit::ScriptedMessageBox& boxes = s.boxes;
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    QVERIFY(s.open({{"Kept", "mine"}}));
    frmMain* main = s.main;
    const QByteArray bytes = how == "empty"  ? QByteArray()
                             : how == "text" ? QByteArray("just some text\n")
                             : how == "deep" ? Export + QByteArray("<div>").repeated(100000)
                                             : Export;
    dialog.answer = writeTemp(dir, QStringLiteral("bookmarks.html"), bytes);
    if (how == "missing")
        dialog.answer = dir.filePath(QStringLiteral("gone.html"));

    std::optional<testkit::WriteLockHolder> locker;
    // Enough links for several steps of progress; "Cancel" is pressed in the half named.
    QByteArray many = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int i = 0; i < 3000; ++i)
        many += "<DT><A HREF=\"https://" + QByteArray::number(i) + ".example/\">site " + QByteArray::number(i) +
                "</A>\n";
    int pipeWriter = -1;
    const auto closePipe = qScopeGuard([&pipeWriter] {
        if (pipeWriter >= 0)
            ::close(pipeWriter);
    });
    if (how == "cancel reading") {
        // A pipe that sends part of the file and then nothing: the reading waits on it, and
        // "Cancel" still answers at once.
        dialog.answer = dir.filePath(QStringLiteral("slow.html"));
        QVERIFY(::mkfifo(QFile::encodeName(dialog.answer).constData(), 0600) == 0);
        pipeWriter = ::open(QFile::encodeName(dialog.answer).constData(), O_RDWR);
        QVERIFY(pipeWriter >= 0);
        QVERIFY(::write(pipeWriter, many.constData(), 16 * 1024) == 16 * 1024);
    } else if (how == "cancel adding") {
        dialog.answer = writeTemp(dir, QStringLiteral("many.html"), many);
    }
    QTimer pressCancel;
    if (how.startsWith("cancel")) {
        // The bar's first half is the reading, the second the adding.
        const bool adding = how == "cancel adding";
        connect(&pressCancel, &QTimer::timeout, [&pressCancel, adding] {
            for (QWidget* w : QApplication::allWidgets()) {
                auto* progress = qobject_cast<QProgressDialog*>(w);
                const int half = progress ? progress->maximum() / 2 : 0;
                if (progress && progress->value() > (adding ? half : 0) && (adding || progress->value() < half)) {
                    progress->cancel();
                    pressCancel.stop();
                }
            }
        });
        pressCancel.start(0);
    } else if (how == "locked") {
        QVERIFY(locker.emplace().take(file.path()));
    }
    const QByteArray before = file.bytes();

    testkit::triggerAction(main->mnuImportBookmarks, "mnuImportBookmarks");
    locker.reset();
    QCOMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.boxes[0].text.startsWith(said), qPrintable(boxes.boxes[0].text));
    if (!how.startsWith("cancel"))
        QVERIFY2(boxes.boxes[0].text.contains(dialog.answer), "the message names the file");
    if (how == "deep")
        QVERIFY2(boxes.boxes[0].text.contains("nested more than 512 levels deep"),
                 qPrintable(boxes.boxes[0].text));
    QCOMPARE(file.bytes(), before);
    QCOMPARE(entries(main->List1), QStringList{"Kept"});
    QVERIFY(!kit::hasEnded());
}

void tst_bookmarks::exportWritesTheListAndReadsBackTheSame()
{
    testkit::Session s;
    testkit::TempLinksDb& file = s.file;
    testkit::ScriptedMessageBox& boxes = s.boxes;
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    const QList<Link> links{{"zeta", "https://z.example/?a=1&b=2"},
                            {"Tom & Jerry <\"quoted\">", "https://t.example/\"x\""},
                            {"Éclair", "www.e.example"},
                            {"alpha", "None"}};
    QVERIFY(s.open(links));
    frmMain* main = s.main;
    const QStringList listOrder = entries(main->List1);

    // An old file is replaced only by a whole new one; a path that cannot be written leaves it.
    dialog.answer = writeTemp(dir, QStringLiteral("out.html"), "old contents");
    const QString unwritable = dir.filePath(QStringLiteral("no such folder/out.html"));
    const QString good = dialog.answer;
    dialog.answer = unwritable;
    testkit::triggerAction(main->mnuExportBookmarks, "mnuExportBookmarks");
    QVERIFY(boxes.texts().value(0).startsWith(QStringLiteral("The bookmarks could not be written to \"") +
                                              unwritable));
    QCOMPARE(boxes.boxes[0].style, 48);
    QVERIFY(!QFile::exists(unwritable));

    boxes.boxes.clear();
    dialog.answer = good;
    QTest::keyClick(main, Qt::Key_E, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialog.titles.last(), ExportTitle);
    QCOMPARE(boxes.texts(), QStringList{"4 links written to \"out.html\"."});

    // The written file, read as any browser would, holds the links in the list's order.
    const BookmarkReadResult read = BookmarkFile::readFile(good);
    QVERIFY(read.ok());
    QStringList names;
    for (const Link& link : read.links)
        names << link.name;
    QCOMPARE(names, listOrder);

    // Into an empty list it comes back as exactly the same links.
    testkit::triggerAction(main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(file.linkCount(), 0);
    dialog.answer = good;
    testkit::triggerAction(main->mnuImportBookmarks, "mnuImportBookmarks");
    QList<Link> back = file.links();
    QList<Link> expected = links;
    const auto byNameThenUrl = [](const Link& a, const Link& b) {
        return std::tie(a.name, a.url) < std::tie(b.name, b.url);
    };
    std::sort(back.begin(), back.end(), byNameThenUrl);
    std::sort(expected.begin(), expected.end(), byNameThenUrl);
    QCOMPARE(back, expected);
    QCOMPARE(entries(main->List1), listOrder);
}

// Names and addresses no browser would write, through "Export Bookmarks..." and back: into an empty
// list every link returns as it was (but for NUL and the C1 controls HTML turns into Windows-1252,
// which return as U+FFFD); into the list it came from, nothing is added.
void tst_bookmarks::ownExportComesBackExactlyAndAddsNothing()
{
    testkit::Session s;
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    const QList<Link> exact{{"  two  blanks\tand a tab ", " https://x.example/a  b "},
                            {"controls \x01\x1b\x7f\u0081 \uFDD0\uFFFF", "https://c.example/\x02\u0090"},
                            {"line\r\nbreak\fand form feed", "https://l.example/\n"},
                            {"<b>&amp;</b> \"Zoë\" 📬", "https://z.example/?a=1&b=\"2\""},
                            {" ", "https://blank.example/"}};
    const QList<Link> lossy{{QString::fromUtf16(u"nul\u0000name", 8), "https://n.example/"},
                            {"C1 \u0085 next line", "https://c1.example/\u0080"}};
    QVERIFY(s.open(exact + lossy));
    dialog.answer = dir.filePath(QStringLiteral("own.html"));
    testkit::triggerAction(s.main->mnuExportBookmarks, "mnuExportBookmarks");
    QCOMPARE(s.boxes.texts(), QStringList{"7 links written to \"own.html\"."});

    s.boxes.boxes.clear();
    const QByteArray before = s.file.bytes();
    testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
    QCOMPARE(s.boxes.texts(), QStringList{"0 links added from \"own.html\".\r\rSkipped:\r"
                                          "7 links whose name is already in your list"});
    QCOMPARE(s.file.bytes(), before);

    testkit::triggerAction(s.main->mnuDeleteAllContacts, "mnuDeleteAllContacts");
    QCOMPARE(s.file.linkCount(), 0);
    testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
    QList<Link> back = s.file.links();
    QList<Link> expected = exact;
    for (const Link& link : lossy)
        expected.append({BookmarkFile::nameAsRead(link.name), BookmarkFile::nameAsRead(link.url)});
    const auto byName = [](const Link& a, const Link& b) { return a.name < b.name; };
    std::sort(back.begin(), back.end(), byName);
    std::sort(expected.begin(), expected.end(), byName);
    QCOMPARE(back, expected);
}

void tst_bookmarks::tooLongNamesAreSkippedAndCounted()
{
    testkit::Session s;
    testkit::ScriptedFileDialog dialog;
    QTemporaryDir dir;
    QVERIFY(s.open());
    const QString longest(BookmarkFile::kMaxTextLength, QLatin1Char('n'));
    dialog.answer = writeTemp(dir, QStringLiteral("long.html"),
                              BookmarkFile::toHtml({{longest, "https://a.example/"},
                                                    {longest + "n", "https://b.example/"},
                                                    {"c", "https://c.example/" + longest}}));
    testkit::triggerAction(s.main->mnuImportBookmarks, "mnuImportBookmarks");
    QCOMPARE(s.boxes.texts(), QStringList{"1 link added from \"long.html\".\r\rSkipped:\r"
                                          "2 links whose name or address is longer than 32,767 characters"});
    QCOMPARE(s.file.links(), (QList<Link>{{longest, "https://a.example/"}}));
}

QTEST_MAIN(tst_bookmarks)
#include "tst_bookmarks.moc"
