// Adding a link by dragging it from a browser or pasting it: the data shaped as Firefox,
// Chromium and plain-text programs send it, read by LinkDrop, then dropped on the main window and
// its list through real drag events and pasted with Ctrl+V, ending in the New Site window.
#include "app/frmMain.h"
#include "forms/edit/frmNewSite.h"
#include "linkdrop/LinkDrop.h"
#include "testkit/TestKit.h"
#include "testkit/Windows.h"
#include "windowkit/Forms.h"
#include "windowkit/ListBox.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QStringEncoder>
#include <QTest>
#include <limits>

using testkit::Link;

namespace {

// The formats of one drag: MIME type and the bytes the program writes.
using Formats = QList<QPair<QString, QByteArray>>;

QByteArray utf16(const QString& text, QStringEncoder::Encoding encoding = QStringEncoder::Utf16LE)
{
    QStringEncoder encoder(encoding);
    return encoder(text);
}

QMimeData* mimeOf(const Formats& formats)
{
    auto* data = new QMimeData;
    for (const auto& [type, bytes] : formats)
        data->setData(type, bytes);
    return data;
}

// Firefox, dragging a tab or a link: its pairs in UTF-16 without a byte-order mark, the address
// alone in the other formats.
Formats firefox(const QString& pairs)
{
    const QString first = pairs.section(QLatin1Char('\n'), 0, 0);
    return {{"text/x-moz-url", utf16(pairs)},
            {"text/x-moz-url-data", utf16(first)},
            {"text/uri-list", first.toUtf8() + "\r\n"},
            {"text/plain", first.toUtf8()}};
}

// Chromium, dragging a link: the address list, and an anchor with the link's text.
Formats chromium(const QByteArray& url, const QByteArray& anchorInnerHtml)
{
    return {{"text/uri-list", url},
            {"text/html", "<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\"><a href=\"" +
                              url + "\">" + anchorInnerHtml + "</a>"},
            {"text/plain", url}};
}

Formats plain(const QByteArray& text)
{
    return {{"text/plain", text}};
}

const QString LongTitle = QStringLiteral("Long title ").repeated(4000).trimmed(); // 43,999 characters

// How a drag reaches the main window.
enum class Route { Window, List, ListViewport, Paste };

struct Delivery {
    bool entered = false; // the drag was taken when it entered and as it moved
    bool dropped = false;
};

// A drag as the desktop delivers it: it enters, moves and is dropped at one point of the target.
Delivery dragOnto(QWidget* target, const QMimeData* data)
{
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &move);
    QDropEvent drop(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    // The browser keeps its tab: the drop is a copy.
    return {enter.isAccepted() && move.isAccepted() && enter.dropAction() == Qt::CopyAction,
            drop.isAccepted() && drop.dropAction() == Qt::CopyAction};
}

// Brings formats to the main window by route; for a drag, whether it was taken.
Delivery deliver(frmMain* main, Route route, const Formats& formats)
{
    if (route == Route::Paste) {
        QGuiApplication::clipboard()->setMimeData(mimeOf(formats));
        main->List1->setFocus();
        QTest::keyClick(main->List1, Qt::Key_V, Qt::ControlModifier);
        return {};
    }
    const std::unique_ptr<QMimeData> data(mimeOf(formats));
    QWidget* target = route == Route::Window ? static_cast<QWidget*>(main)
                      : route == Route::List ? static_cast<QWidget*>(main->List1)
                                             : main->List1->viewport();
    return dragOnto(target, data.get());
}

const QList<Link> Stored{{"Existing", "http://existing.example/"}};

} // namespace

Q_DECLARE_METATYPE(Formats)
Q_DECLARE_METATYPE(Route)

class tst_linkdrop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup()
    {
        QGuiApplication::clipboard()->clear();
        testkit::resetApplication();
    }

    void usableAddress_data();
    void usableAddress();
    void cleanName_data();
    void cleanName();
    void firstLink_data();
    void firstLink();

    void dropOrPasteFillsNewSiteAndStoresNothing_data();
    void dropOrPasteFillsNewSiteAndStoresNothing();
    void dropOnOpenNewSiteKeepsWhatTheUserTyped_data();
    void dropOnOpenNewSiteKeepsWhatTheUserTyped();
    void okStoresTheDroppedLinkUnderTheUsualRules();
};

void tst_linkdrop::usableAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("usable");
    const QStringList usable{
        "http://example.org",     "https://example.org/a?b=c#d", "HTTPS://EXAMPLE.ORG/",
        "ftp://ftp.example.org/", "mailto:someone@example.org",  "file:///home/me/page.html",
        "www.example.org",        "WWW.example.org:8080/path",   "https://de.example/wiki/Köln"};
    const QStringList refused{"javascript:alert(1)",
                              "data:text/html,hi",
                              "place:sort=8",
                              "about:blank",
                              "chrome://settings",
                              "http:",
                              "http://",
                              "http:example.org",
                              "mailto:",
                              "file:",
                              "www.",
                              "wwwexample.org",
                              "example.org",
                              "just words",
                              "http://exa mple.org",
                              "http://example.org/\x01",
                              "https://example.org is nice",
                              ""};
    for (const QString& text : usable)
        QTest::addRow("%s", qPrintable(text)) << text << true;
    for (const QString& text : refused)
        QTest::addRow("refused %s", qPrintable(text)) << text << false;
}

void tst_linkdrop::usableAddress()
{
    QFETCH(QString, text);
    QFETCH(bool, usable);
    QCOMPARE(LinkDrop::isUsableAddress(text), usable);
}

void tst_linkdrop::cleanName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("name");
    const int none = std::numeric_limits<int>::max();
    QTest::newRow("trimmed") << "  Example  " << none << "Example";
    QTest::newRow("runs of white space") << "a \t b\r\n\r\nc\u00a0\u2028d" << none << "a b c d";
    QTest::newRow("control characters") << QString("a\x01"
                                                   "b \x1b[31m c\x7f\u0085")
                                        << none << "ab [31m c";
    QTest::newRow("only blanks and controls") << QString(" \x02\n ") << none << "";
    QTest::newRow("cut") << "Example Domain" << 7 << "Example";
    QTest::newRow("cut before a blank") << "Example Domain" << 8 << "Example";
    QTest::newRow("cut keeps a character whole") << "ab\U0001F600" << 3 << "ab";
    QTest::newRow("no room") << "Example" << 0 << "";
    QTest::newRow("no limit keeps a long title") << LongTitle << none << LongTitle;
}

void tst_linkdrop::cleanName()
{
    QFETCH(QString, title);
    QFETCH(int, limit);
    QFETCH(QString, name);
    QCOMPARE(LinkDrop::cleanName(title, limit), name);
}

void tst_linkdrop::firstLink_data()
{
    QTest::addColumn<Formats>("formats");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    // No address: no link found.
    const auto row = [](const char* row, const Formats& formats, const QString& name = {},
                        const QString& url = {}) {
        QTest::newRow(row) << formats << !url.isEmpty() << name << url;
    };
    const QString a = "https://a.example/";
    row("firefox", firefox(a + "\nPage A"), "Page A", a);
    row("firefox, byte-order mark", Formats{{"text/x-moz-url", "\xFF\xFE" + utf16(a + "\nPage A")}}, "Page A", a);
    row("firefox, big-endian", Formats{{"text/x-moz-url", utf16(a + "\nPage A", QStringEncoder::Utf16BE)}},
        "Page A", a);
    row("moz-url in UTF-8, ended by NUL", Formats{{"text/x-moz-url", (a + "\r\nPage Ä").toUtf8() + '\0'}},
        "Page Ä", a);
    row("firefox, several tabs", firefox(a + "\nPage A\nhttps://b.example/\nPage B"), "Page A", a);
    row("firefox, a bookmarklet first",
        Formats{{"text/x-moz-url", utf16("javascript:void(0)\nTool\n" + a + "\nPage A")}}, "Page A", a);
    row("firefox, no title", firefox(a), "", a);
    row("chromium", chromium("https://a.example/", "Page <b>A</b> &amp; co"), "Page A & co", a);
    row("uri-list comments and several",
        Formats{{"text/uri-list", "# dragged\r\n\r\nhttps://a.example/\r\nhttps://b.example/\r\n"}}, "", a);
    row("anchor without address list",
        Formats{{"text/html", "<p>see <a href='javascript:x()'>run</a> and <a href=' https://a.example '>A</a>"}},
        "A", "https://a.example");
    row("anchor title for the same address without its slash",
        Formats{{"text/uri-list", "https://a.example/"}, {"text/html", "<a href='https://a.example'>A</a>"}}, "A",
        a);
    row("anchor for another address gives no title",
        Formats{{"text/uri-list", "https://a.example/"}, {"text/html", "<a href='https://b.example/'>B</a>"}}, "",
        a);
    row("plain text", plain("  https://a.example/  \n"), "", a);
    row("plain text, several lines", plain("https://a.example/\nhttps://b.example/"), "", a);
    row("plain text, a bare host", plain("www.a.example/x"), "", "www.a.example/x");
    row("plain sentence", plain("lunch at https://a.example/ today"));
    row("bookmarklet everywhere", Formats{{"text/uri-list", "javascript:alert(1)"},
                                          {"text/html", "<a href='javascript:alert(1)'>Run</a>"},
                                          {"text/plain", "javascript:alert(1)"}});
    row("selected text with no link", Formats{{"text/html", "<b>just</b> words"}, {"text/plain", "just words"}});
    // A document dragged past the window is not read, even when it begins with a link.
    row("a long document", plain("https://a.example/\n" + QByteArray(LinkDrop::MaxFormatBytes, 'x')));
    row("a long page, its address listed",
        Formats{{"text/uri-list", "https://a.example/"},
                {"text/html", "<a href='https://a.example/'>A</a>" + QByteArray(LinkDrop::MaxFormatBytes, 'x')}},
        "", a);
    // A page nested deeper than any parser should go is not parsed: the address still comes
    // from the list, the title from nowhere.
    row("a page nested too deeply",
        Formats{{"text/uri-list", "https://a.example/"},
                {"text/html", QByteArray("<b>").repeated(300000) + "<a href='https://a.example/'>A</a>"}},
        "", a);
    row("nothing", Formats{});
}

void tst_linkdrop::firstLink()
{
    QFETCH(Formats, formats);
    QFETCH(bool, found);
    QFETCH(QString, name);
    QFETCH(QString, url);
    const std::unique_ptr<QMimeData> data(mimeOf(formats));
    const std::optional<Link> link = LinkDrop::firstLink(*data);
    QCOMPARE(link.has_value(), found);
    if (found) {
        QCOMPARE(link->name, name);
        QCOMPARE(link->url, url);
    }
}

namespace {

void addRoutes(const char* row, const Formats& formats, const QString& name = {}, const QString& url = {})
{
    const QList<QPair<const char*, Route>> routes{{"window", Route::Window},
                                                  {"list", Route::List},
                                                  {"list viewport", Route::ListViewport},
                                                  {"paste", Route::Paste}};
    for (const auto& [routeName, route] : routes)
        QTest::addRow("%s, %s", row, routeName) << route << formats << name << url;
}

} // namespace

void tst_linkdrop::dropOrPasteFillsNewSiteAndStoresNothing_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<Formats>("formats");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    addRoutes("firefox tab", firefox("https://a.example/\nPage A"), "Page A", "https://a.example/");
    addRoutes("firefox tabs", firefox("https://a.example/\nPage A\nhttps://b.example/\nPage B"), "Page A",
              "https://a.example/");
    addRoutes("chromium link", chromium("https://a.example/", "Link <i>text</i>"), "Link text",
              "https://a.example/");
    addRoutes("plain address", plain(" https://a.example/\n"), "", "https://a.example/");
    addRoutes("plain addresses", plain("www.a.example\nhttps://b.example/"), "", "www.a.example");
    // The name box has no length limit: a title longer than a line edit's usual 32,767 stays whole.
    addRoutes("long title", firefox("https://a.example/\n" + LongTitle), LongTitle, "https://a.example/");
    addRoutes("title with line breaks and controls",
              firefox(QString("https://a.example/\n\tNews\r\r of\x01 the\x1b day \x7f")), "News of the day",
              "https://a.example/");
    // Nothing usable: the drag is refused, the paste ignored, and no window opens.
    addRoutes("words", plain("lunch at noon"));
    addRoutes("bookmarklet", chromium("javascript:alert(1)", "Run me"));
    addRoutes("inline data", Formats{{"text/uri-list", "data:text/html,<b>hi</b>"}});
    addRoutes("a picture", Formats{{"image/png", QByteArray("\x89PNG\r\n\x1a\n", 8)}});
}

void tst_linkdrop::dropOrPasteFillsNewSiteAndStoresNothing()
{
    QFETCH(Route, route);
    QFETCH(Formats, formats);
    QFETCH(QString, name);
    QFETCH(QString, url);
    testkit::Session s;
    QVERIFY(s.open(Stored));

    const Delivery delivery = deliver(s.main, route, formats);
    if (url.isEmpty()) {
        QVERIFY(!delivery.entered);
        QVERIFY(!delivery.dropped);
        QVERIFY(!Forms::find<frmNewSite>());
    } else {
        if (route != Route::Paste) {
            QVERIFY(delivery.entered);
            QVERIFY(delivery.dropped);
        }
        frmNewSite* form = Forms::find<frmNewSite>();
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(form->txtname->text(), name);
        QCOMPARE(form->txtURL->text(), url);
    }
    QCOMPARE(s.file.links(), Stored);
    QVERIFY(s.boxes.boxes.isEmpty());
}

void tst_linkdrop::dropOnOpenNewSiteKeepsWhatTheUserTyped_data()
{
    QTest::addColumn<Formats>("earlier"); // dropped before the user types; none when empty
    QTest::addColumn<QString>("typedName");
    QTest::addColumn<QString>("typedUrl");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("url");
    const Formats none;
    const Formats pageA = firefox("https://a.example/\nPage A");
    // What the second drop brings: "Page B" at https://b.example/.
    const auto row = [](const char* row, const Formats& earlier, const char* typedName, const char* typedUrl,
                        const char* name, const char* url) {
        QTest::newRow(row) << earlier << QString(typedName) << QString(typedUrl) << QString(name) << QString(url);
    };
    row("untouched", none, "", "", "Page B", "https://b.example/");
    row("name typed", none, "Mine", "", "Mine", "https://b.example/");
    row("address typed", none, "", "mine.example", "Page B", "mine.example");
    row("both typed", none, "Mine", "mine.example", "Mine", "mine.example");
    row("name typed, then erased", none, "x\b", "", "Page B", "https://b.example/");
    row("an earlier drop", pageA, "", "", "Page B", "https://b.example/");
    row("an earlier drop, its name edited", pageA, " (work)", "", "Page A (work)", "https://b.example/");
}

void tst_linkdrop::dropOnOpenNewSiteKeepsWhatTheUserTyped()
{
    QFETCH(Formats, earlier);
    QFETCH(QString, typedName);
    QFETCH(QString, typedUrl);
    QFETCH(QString, name);
    QFETCH(QString, url);
    testkit::Session s;
    QVERIFY(s.open(Stored));
    QTest::keyClick(s.main, Qt::Key_N, Qt::ControlModifier);
    QPointer<frmNewSite> form = Forms::find<frmNewSite>();
    QVERIFY(form);
    if (!earlier.isEmpty())
        QVERIFY(deliver(s.main, Route::Window, earlier).dropped);
    const auto type = [](QLineEdit* box, const QString& keys) {
        box->setFocus();
        box->end(false);
        for (const QChar key : keys) {
            if (key == QLatin1Char('\b'))
                QTest::keyClick(box, Qt::Key_Backspace);
            else
                QTest::keyClicks(box, QString(key));
        }
    };
    type(form->txtname, typedName);
    type(form->txtURL, typedUrl);

    QVERIFY(deliver(s.main, Route::List, firefox("https://b.example/\nPage B")).dropped);
    QCOMPARE(Forms::find<frmNewSite>(), form.data());
    QCOMPARE(form->txtname->text(), name);
    QCOMPARE(form->txtURL->text(), url);
    QCOMPARE(s.file.links(), Stored);
}

// The window a drop opens is the documented one: "Ok" refuses a stored name, then adds the link.
// Ctrl+V in its box pastes text there, as in any box, and counts as typing.
void tst_linkdrop::okStoresTheDroppedLinkUnderTheUsualRules()
{
    testkit::Session s;
    QVERIFY(s.open(Stored));
    QVERIFY(deliver(s.main, Route::Window, firefox("https://new.example/\nExisting")).dropped);
    frmNewSite* form = Forms::find<frmNewSite>();
    QVERIFY(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.boxes.texts(), QStringList{"This contact already exists !"});
    QCOMPARE(s.file.links(), Stored);

    QGuiApplication::clipboard()->setText(QStringLiteral("Fresh"));
    form->txtname->selectAll();
    QTest::keyClick(form->txtname, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(form->txtname->text(), QStringLiteral("Fresh"));
    QVERIFY(deliver(s.main, Route::Window, plain("https://other.example/")).dropped);
    QCOMPARE(form->txtname->text(), QStringLiteral("Fresh"));
    QTest::mouseClick(form->Command2, Qt::LeftButton);
    QCOMPARE(s.file.links(), (QList<Link>{Stored[0], {"Fresh", "https://other.example/"}}));
}

QTEST_MAIN(tst_linkdrop)
#include "tst_linkdrop.moc"
