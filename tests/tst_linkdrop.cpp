// Adding a link by dragging it from a browser or pasting it: the data shaped as Firefox,
// Chromium and plain-text programs send it, read by LinkDrop.
#include "linkdrop/LinkDrop.h"
#include "testkit/TestKit.h"

#include <QMimeData>
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

} // namespace

Q_DECLARE_METATYPE(Formats)

class tst_linkdrop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void usableAddress_data();
    void usableAddress();
    void cleanName_data();
    void cleanName();
    void firstLink_data();
    void firstLink();
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
    const QString a = "https://a.example/";
    QTest::newRow("firefox") << firefox(a + "\nPage A") << true << "Page A" << a;
    QTest::newRow("firefox, byte-order mark")
        << Formats{{"text/x-moz-url", "\xFF\xFE" + utf16(a + "\nPage A")}} << true << "Page A" << a;
    QTest::newRow("firefox, big-endian")
        << Formats{{"text/x-moz-url", utf16(a + "\nPage A", QStringEncoder::Utf16BE)}} << true << "Page A" << a;
    QTest::newRow("moz-url in UTF-8, ended by NUL")
        << Formats{{"text/x-moz-url", (a + "\r\nPage Ä").toUtf8() + '\0'}} << true << "Page Ä" << a;
    QTest::newRow("firefox, several tabs")
        << firefox(a + "\nPage A\nhttps://b.example/\nPage B") << true << "Page A" << a;
    QTest::newRow("firefox, a bookmarklet first")
        << Formats{{"text/x-moz-url", utf16("javascript:void(0)\nTool\n" + a + "\nPage A")}} << true << "Page A"
        << a;
    QTest::newRow("firefox, no title") << firefox(a) << true << "" << a;
    QTest::newRow("chromium") << chromium("https://a.example/", "Page <b>A</b> &amp; co") << true << "Page A & co"
                              << a;
    QTest::newRow("uri-list comments and several")
        << Formats{{"text/uri-list", "# dragged\r\n\r\nhttps://a.example/\r\nhttps://b.example/\r\n"}} << true
        << "" << a;
    QTest::newRow("anchor without address list")
        << Formats{{"text/html",
                    "<p>see <a href='javascript:x()'>run</a> and <a href=' https://a.example '>A</a>"}}
        << true << "A"
        << "https://a.example";
    QTest::newRow("anchor title for the same address without its slash")
        << Formats{{"text/uri-list", "https://a.example/"}, {"text/html", "<a href='https://a.example'>A</a>"}}
        << true << "A" << a;
    QTest::newRow("anchor for another address gives no title")
        << Formats{{"text/uri-list", "https://a.example/"}, {"text/html", "<a href='https://b.example/'>B</a>"}}
        << true << "" << a;
    QTest::newRow("plain text") << plain("  https://a.example/  \n") << true << "" << a;
    QTest::newRow("plain text, several lines")
        << plain("https://a.example/\nhttps://b.example/") << true << "" << a;
    QTest::newRow("plain text, a bare host") << plain("www.a.example/x") << true << ""
                                             << "www.a.example/x";
    QTest::newRow("plain sentence") << plain("lunch at https://a.example/ today") << false << ""
                                    << "";
    QTest::newRow("bookmarklet everywhere") << Formats{{"text/uri-list", "javascript:alert(1)"},
                                                       {"text/html", "<a href='javascript:alert(1)'>Run</a>"},
                                                       {"text/plain", "javascript:alert(1)"}}
                                            << false << ""
                                            << "";
    QTest::newRow("selected text with no link")
        << Formats{{"text/html", "<b>just</b> words"}, {"text/plain", "just words"}} << false << ""
        << "";
    // A document dragged past the window is not read, even when it begins with a link.
    QTest::newRow("a long document") << plain("https://a.example/\n" + QByteArray(LinkDrop::MaxFormatBytes, 'x'))
                                     << false << ""
                                     << "";
    QTest::newRow("a long page, its address listed")
        << Formats{{"text/uri-list", "https://a.example/"},
                   {"text/html", "<a href='https://a.example/'>A</a>" + QByteArray(LinkDrop::MaxFormatBytes, 'x')}}
        << true << "" << a;
    QTest::newRow("nothing") << Formats{} << false << ""
                             << "";
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

QTEST_MAIN(tst_linkdrop)
#include "tst_linkdrop.moc"
