// Netscape bookmark files: what browsers' exports give, what is refused, and what survives writing
// and reading back.
#include "bookmarkfile/BookmarkFile.h"
#include "bookmarkfile/GuardedParse.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

namespace {

// "name -> address" per link: a failed comparison then shows which link differs.
QStringList shown(const QList<Link>& links)
{
    QStringList out;
    for (const Link& link : links)
        out << link.name + QStringLiteral(" -> ") + link.url;
    return out;
}

QString fixture(const char* name)
{
    return QStringLiteral(BOOKMARK_FIXTURES "/") + QLatin1String(name);
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The text in UTF-16 of that byte order, without a byte-order mark.
QByteArray utf16(const QString& text, QStringEncoder::Encoding encoding = QStringEncoder::Utf16LE)
{
    QStringEncoder encoder(encoding);
    return encoder(text);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Hostile files, made here at their full size rather than kept in the repository.
const QByteArray kHeader =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";

QByteArray withLinkAfter(const QByteArray& body)
{
    return kHeader + "<DT><A HREF=\"https://first.example/\">First</A>\n" + body +
           "\n<DT><A HREF=\"https://last.example/\">Last</A>\n";
}

QByteArray numbered(const char* before, const char* after, int count)
{
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out += before + QByteArray::number(i) + after;
    return out;
}

// Anchor text `levels` elements deep: the parser looks through all of them for every character.
QByteArray deepText(int levels, qsizetype textBytes)
{
    return kHeader + QByteArray("<div>").repeated(levels - 1) + "<A HREF=\"https://deep.example/\">" +
           QByteArray(textBytes, 'n') + "</A>\n";
}

// A Chromium-shaped export: links in folders three deep.
QByteArray chromiumShaped(int links)
{
    QByteArray html = kHeader + "<DT><H3 PERSONAL_TOOLBAR_FOLDER=\"true\">Bar</H3>\n<DL><p>\n"
                                "<DT><H3>Work</H3>\n<DL><p>\n<DT><H3>Old</H3>\n<DL><p>\n";
    html += numbered("<DT><A HREF=\"https://example.com/", "\" ADD_DATE=\"1700000000\">Site</A>\n", links);
    return html + "</DL><p>\n</DL><p>\n</DL><p>\n</DL><p>\n";
}

} // namespace

class tst_bookmarkfile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsBrowserExports_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("links");
        QTest::addColumn<int>("withoutAddress");
        QTest::addColumn<int>("unopenable");
        QTest::newRow("Firefox: folders, icons, tags, places, descriptions")
            << fixture("firefox.html")
            << QStringList{"Get Help -> https://support.mozilla.org/products/firefox",
                           "Customize Firefox -> https://www.mozilla.org/firefox/customize/",
                           "Daily News & Weather -> https://news.example.org/today?lang=en&edition=morning",
                           "Crème brûlée – la vraie -> https://cuisine.example.fr/cr%C3%A8me-br%C3%BBl%C3%A9e"}
            << 0 << 3;
        QTest::newRow("Chromium: entities, non-ASCII, data:, empty text")
            << fixture("chromium.html")
            << QStringList{"Tom & Jerry <episodes> -> https://www.example.com/search?q=tom+%26+jerry&safe=off",
                           "東京の天気 -> https://ja.example.jp/%E6%9D%B1%E4%BA%AC",
                           "Почта 📬 -> https://mail.example.ru/inbox",
                           "\"Hi\" from O'Reilly -> https://example.com/quote?say=\"hi\"&who=O'Reilly",
                           "https://example.net/ -> https://example.net/"}
            << 0 << 1;
        // The anchor left open is reopened by the parser before "Never closed"; that copy is no link.
        QTest::newRow("Safari: lower case, unquoted, unclosed")
            << fixture("safari.html")
            << QStringList{"Apple -> https://www.apple.com/", "World news -> https://news.example.com/world",
                           "A long post title -> https://blog.example.com/post?id=7",
                           "Left open -> https://left-open.example.com/",
                           "Malmö map -> https://maps.example.com/?q=Malm%C3%B6"}
            << 0 << 0;
        QTest::newRow("Windows-1252") << fixture("windows1252.html")
                                      << QStringList{"Café de Paris -> http://www.café-paris.example.fr/",
                                                     "Prix en € – “bon marché” -> http://prices.example.com/eur",
                                                     "Straße … -> http://www.example.de/straße"}
                                      << 0 << 0;
    }

    void readsBrowserExports()
    {
        QFETCH(QString, path);
        QFETCH(QStringList, links);
        const BookmarkReadResult result = BookmarkFile::readFile(path);
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(shown(result.links), links);
        QTEST(result.skippedWithoutAddress, "withoutAddress");
        QTEST(result.skippedUnopenableAddress, "unopenable");
    }

    void readsOneAnchor_data()
    {
        QTest::addColumn<QByteArray>("anchor");
        QTest::addColumn<QString>("link"); // empty when skipped
        QTest::addColumn<int>("withoutAddress");
        QTest::addColumn<int>("unopenable");
        const auto row = [](const char* name, const QByteArray& anchor, const QString& link, int without = 0,
                            int unopenable = 0) {
            QTest::newRow(name) << anchor << link << without << unopenable;
        };
        row("blanks collapsed", "<A HREF=\"u\">  Two \n\t words\r\n here </A>", "Two words here -> u");
        row("no-break spaces kept", "<A HREF=\"u\">a&nbsp;&nbsp;b</A>", "a\u00A0\u00A0b -> u");
        row("text of inner markup", "<A HREF=\"u\"><B>Bold</B> and <I>it</I>alic</A>", "Bold and italic -> u");
        row("blank text takes the address", "<A HREF=\"https://e.example/\"> </A>",
            "https://e.example/ -> https://e.example/");
        row("address trimmed outside only", "<A HREF=\" \thttps://x.example/a b?c&amp;d \n\">n</A>",
            "n -> https://x.example/a b?c&d");
        row("first of two HREFs", "<A HREF=\"first\" HREF=\"second\">n</A>", "n -> first");
        row("byte-order mark dropped", "\xEF\xBB\xBF<a href=u>n</a>", "n -> u");
        row("mailto: kept", "<A HREF=\"mailto:me@example.com\">Me</A>", "Me -> mailto:me@example.com");
        row("schemes that only start alike kept", "<A HREF=\"datas:x\">n</A>", "n -> datas:x");
        row("data: later in the address kept", "<A HREF=\"https://x.example/?data:y\">n</A>",
            "n -> https://x.example/?data:y");
        row("no HREF", "<A NAME=\"top\">Top</A>", {}, 1);
        row("empty HREF", "<A HREF=\"\">x</A>", {}, 1);
        row("blank HREF", "<A HREF=\" \t \">x</A>", {}, 1);
        row("place:", "<A HREF=\"place:sort=8\">Recent</A>", {}, 0, 1);
        row("javascript: in capitals", "<A HREF=\"JavaScript:alert(1)\">n</A>", {}, 0, 1);
        row("data: after blanks", "<A HREF=\"  data:text/plain,hi\">n</A>", {}, 0, 1);
        row("a newline inside javascript:", "<A HREF=\"java&#10;scr\tipt:alert(1)\">n</A>", {}, 0, 1);
        row("a control written before javascript:", "<A HREF=\"&#1;javascript:alert(1)\">n</A>", {}, 0, 1);
        // White space the file lays out collapses; white space it writes as references is the name's.
        row("blanks written as references kept", "<A HREF=\"u\">&#32;a&#32;&#32;b&#9;c&#10;</A>",
            " a  b\tc\n -> u");
        row("a blank laid out collapses the rest too", "<A HREF=\"u\">a&#32;&#32;b </A>", "a b -> u");
        row("blanks between markup collapse", "<A HREF=\"u\">a <B> b</B></A>", "a b -> u");
        row("address blanks written as references kept", "<A HREF=\"&#32;u&#9;\">n</A>", "n ->  u\t");
        row("an address of one blank written as a reference", "<A HREF=\"&#32;\">n</A>", "n ->  ");
        row("NUL in the name", QByteArray("<A HREF=\"u\">a\0b</A>", 19), "a\uFFFDb -> u");
        row("NUL in the address", QByteArray("<A HREF=\"u\0v\">n</A>", 19), "n -> u\uFFFDv");
    }

    void readsOneAnchor()
    {
        QFETCH(QByteArray, anchor);
        QFETCH(QString, link);
        const BookmarkReadResult result = BookmarkFile::read("<DL><p>\n<DT>" + anchor + "\n</DL>");
        QVERIFY2(result.ok(), qPrintable(result.reason));
        QCOMPARE(shown(result.links), link.isEmpty() ? QStringList() : QStringList{link});
        QTEST(result.skippedWithoutAddress, "withoutAddress");
        QTEST(result.skippedUnopenableAddress, "unopenable");
    }

    // The reader hands the parser pieces cut before <DT> lines; each row hides a <DT> where a cut
    // would change what is read. One-byte pieces cut wherever the reader allows.
    void piecesReadAsTheWholeDocument_data()
    {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<int>("links");
        const auto row = [](const char* name, const char* document, int links) {
            QTest::newRow(name) << QByteArray(document) << links;
        };
        row("in a comment", "<DT><A HREF=a>A</A>\n<!-- <DT><A HREF=x>X</A> -->\n<DT><A HREF=b>B</A>", 2);
        row("after short comments", "<!--><DT><A HREF=a>A</A><!---><DT><A HREF=b>B</A>", 2);
        row("in a quoted value", "<DT><A HREF=a TITLE='<DT><A HREF=\"x\">X</A>'>A</A><DT><A HREF=b>B</A>", 2);
        row("after a quote in a name",
            "<DT><A HREF=a>A</A><DT x\"y><A HREF=b>B</A><DT T='\"><DT><A HREF=x>X</A>'>", 2);
        row("after a quote in an unquoted value",
            "<DT><A HREF=a>A</A><DT x=a'b><A HREF=b>B</A><DT T=\"'><DT><A HREF=x>X</A>\">", 2);
        row("in the title", "<TITLE><DT><A HREF=x>X</A></TITLE><DT><A HREF=a>A</A>", 1);
        row("in an end tag", "<DT><A HREF=a>A</A TITLE=\"<DT><A HREF=x>X</A>\"><DT><A HREF=b>B</A>", 2);
        row("in a processing instruction", "<?xml <DT><A HREF=x>?><DT><A HREF=a>A</A>", 2);
        row("inside an anchor never closed", "<A HREF=b>B</A>\n<A HREF=a>A\n<DT>text\n<DT>more", 2);
        row("a list closed inside a later anchor",
            "<DL><p><DT><H3>F</H3><DL><p><DT><A HREF=a>A</A>\n<DT><A HREF=b>B</DL>tail</A>\n<DT><A HREF=c>C</A>",
            3);
        row("inside a select", "<DT><A HREF=a>A</A><SELECT><DT><A HREF=x>X</A></SELECT><DT><A HREF=b>B</A>", 2);
        row("inside a script", "<SCRIPT>w('<DT><A HREF=x>X</A>')</SCRIPT><DT><A HREF=a>A</A>", 1);
        row("after plaintext", "<DT><A HREF=a>A</A><PLAINTEXT><DT><A HREF=x>X</A>", 1);
    }

    void piecesReadAsTheWholeDocument()
    {
        QFETCH(QByteArray, document);
        const BookmarkReadResult whole = BookmarkFile::read(document, document.size());
        const BookmarkReadResult pieces = BookmarkFile::read(document, 1);
        QTEST(int(whole.links.size()), "links");
        QCOMPARE(shown(pieces.links), shown(whole.links));
        QCOMPARE(pieces.skippedWithoutAddress, whole.skippedWithoutAddress);
    }

    // A file is read in blocks: here a comment holding <DT> lines and a character both span a
    // block's end, and the file reads as its bytes do in one piece.
    void fileReadInBlocksAsItsBytes_data()
    {
        QTest::addColumn<QByteArray>("character"); // of the last name, as the file stores it
        QTest::newRow("UTF-8") << QByteArray("\xC3\xA9");
        QTest::newRow("Windows-1252") << QByteArray("\xE9");
        QTest::newRow("markup in the last anchor: read again whole") << QByteArray("<B>\xC3\xA9</B>");
    }

    void fileReadInBlocksAsItsBytes()
    {
        QFETCH(QByteArray, character);
        const qsizetype block = BookmarkFile::kReadBlockBytes;
        QByteArray html = "<DL><p>\n";
        int links = 0;
        // Links up to `end`, then blank lines so that what follows starts exactly there.
        const auto fillTo = [&](qsizetype end) {
            while (html.size() < end - 100) {
                const QByteArray n = QByteArray::number(++links);
                html += "<DT><A HREF=\"https://example.com/" + n + "\">Link " + n + "</A>\n";
            }
            html += QByteArray(end - html.size(), '\n');
        };
        fillTo(block - 300 * 1024); // further back than a piece, so the comment is scanned unfinished
        html +=
            "<!-- " + QByteArray("<DT><A HREF=\"https://hidden.example/\">hidden</A>\n").repeated(8000) + "-->\n";
        const QByteArray opening = "<DT><A HREF=\"https://last.example/\">";
        fillTo(2 * block - 1 - opening.size());
        html += opening + character + "</A>\n</DL>\n";
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.html"));
        QVERIFY(writeBytes(path, html));

        const BookmarkReadResult fromFile = BookmarkFile::readFile(path);
        QCOMPARE(shown(fromFile.links), shown(BookmarkFile::read(html, html.size()).links));
        QCOMPARE(fromFile.links.size(), links + 1);
        QCOMPARE(fromFile.links.last().name, QStringLiteral("é"));
    }

    void refusesBadFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<BookmarkError>("error");
        QTest::addColumn<QString>("reasonSays");
        QTest::addColumn<QByteArray>("bytes"); // for kind "bytes"
        QTest::newRow("missing") << "missing" << BookmarkError::CannotRead << "cannot be opened" << QByteArray();
        QTest::newRow("a folder") << "folder" << BookmarkError::CannotRead << "folder" << QByteArray();
        QTest::newRow("just at the size limit, zeros")
            << "limit" << BookmarkError::Binary << "binary" << QByteArray();
        QTest::newRow("one byte over the limit") << "over" << BookmarkError::TooLarge << "64.0 MB" << QByteArray();
        QTest::newRow("several hundred MB") << "huge" << BookmarkError::TooLarge << "500.0 MB" << QByteArray();
        const auto bytes = [](const char* name, BookmarkError error, const char* says, const QByteArray& bytes) {
            QTest::newRow(name) << "bytes" << error << QString::fromLatin1(says) << bytes;
        };
        bytes("empty", BookmarkError::Empty, "empty", {});
        bytes("only a byte-order mark", BookmarkError::Empty, "empty", "\xEF\xBB\xBF");
        bytes("a picture", BookmarkError::Binary, "binary",
              QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR<a href=x>", 24));
        bytes("a web page without links", BookmarkError::NotBookmarks, "no links",
              "<html><body><h1>Notes</h1><p>No links here.</p></body></html>");
        const char* deep = "nested more than 512 levels deep";
        // Read whole, the first crashed the program freeing its tree, the next took 20 s and 8 s.
        bytes("300,000 unclosed spans", BookmarkError::TooDeep, deep,
              withLinkAfter(QByteArray("<span>").repeated(300000)));
        bytes("100,000 nested divs", BookmarkError::TooDeep, deep,
              withLinkAfter(QByteArray("<div>\n").repeated(100000)));
        bytes("100,000 nested folders", BookmarkError::TooDeep, deep,
              withLinkAfter(numbered("<DT><H3>Folder ", "</H3>\n<DL><p>\n", 100000)));
        // Closed by another element, a formatting element is opened again before the next text.
        bytes("600 bold elements opened again", BookmarkError::TooDeep, deep,
              withLinkAfter(numbered("<div><b id=", "></div>x", 600)));
        bytes("600 bold elements closed across blocks", BookmarkError::TooDeep, deep,
              withLinkAfter(QByteArray("<b><div></b>").repeated(600)));
        bytes("10 MB of anchor text 500 levels deep", BookmarkError::TooComplex, "far too long",
              deepText(500, 10 * 1024 * 1024));
        bytes("ten million paragraphs", BookmarkError::TooComplex, "10 million elements",
              withLinkAfter(QByteArray("<p>").repeated(10'000'001)));
        bytes("30 MB of markup the reader cannot cut", BookmarkError::TooComplex, "384 MB",
              withLinkAfter(QByteArray("<span></span>").repeated(30 * 1024 * 1024 / 13)));
        bytes("UTF-16 without a byte-order mark", BookmarkError::Binary, "binary",
              utf16("<DL><p><DT><A HREF=\"u\">n</A></DL>"));
        QByteArray everyByte;
        for (int b = 0; b < 256; ++b)
            everyByte += char(b);
        bytes("every byte value", BookmarkError::Binary, "binary", "<A HREF=u>n</A>" + everyByte.repeated(40));
    }

    void refusesBadFiles()
    {
        QFETCH(QString, kind);
        QFETCH(BookmarkError, error);
        QFETCH(QString, reasonSays);
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("bookmarks.html"));
        // Sparse files: the size is real, the disk holds nothing.
        const auto sized = [&path](qint64 size) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(size));
        };
        if (kind == QLatin1String("folder"))
            path = dir.path();
        else if (kind == QLatin1String("limit"))
            sized(BookmarkFile::kMaxFileBytes);
        else if (kind == QLatin1String("over"))
            sized(BookmarkFile::kMaxFileBytes + 1);
        else if (kind == QLatin1String("huge"))
            sized(500LL * 1024 * 1024);
        else if (kind == QLatin1String("bytes"))
            QVERIFY(writeBytes(path, bytes));

        const BookmarkReadResult result = BookmarkFile::readFile(path);
        QCOMPARE(result.error, error);
        QVERIFY2(result.reason.contains(reasonSays), qPrintable(result.reason));
        QVERIFY(result.links.isEmpty());
    }

    void writtenLinksReadBackTheSame()
    {
        const QList<Link> links{
            {"Tom & Jerry <b>\"quoted\"</b> 'single'", "https://example.com/?a=1&b=<2>&c=\"3\"&d='4'"},
            {"&amp; stays &amp;", "https://example.com/&lt;&#10;"},
            {"<A HREF=\"evil\">fake</A>", "https://evil.example/\"><script>"},
            {"Crème brûlée – Zoë", "https://café.example/straße"},
            {"東京 📬 Почта", "https://example.jp/東京"},
            {"no-break\u00A0space", "https://x.example/a\tb c"},
            {"breaks inside the address", "https://x.example/a\r\nb\nc\rd"},
            {"Repeated", "https://one.example/"},
            {"Repeated", "https://two.example/"},
            {"javascript: only in the name", "https://x.example/"},
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("export.html"));
        QVERIFY(writeBytes(path, "an older export"));
        QString reason;
        QVERIFY2(BookmarkFile::writeFile(path, links, &reason), qPrintable(reason));
        const BookmarkReadResult back = BookmarkFile::readFile(path);
        QVERIFY2(back.ok(), qPrintable(back.reason));
        QCOMPARE(shown(back.links), shown(links));
    }

    // Names with line breaks keep one line per link, and come back with their breaks.
    void lineBreaksStayOnOneLine()
    {
        const QList<Link> links{{"line one\r\nline two", "https://x.example/"}, {"b\nc\rd", "u"}};
        const QByteArray html = BookmarkFile::toHtml(links);
        QCOMPARE(html.count('\n'), 8 + links.size() + 1);
        QCOMPARE(shown(BookmarkFile::read(html).links), shown(links));
    }

    void writesTheStandardShape()
    {
        const QByteArray html = BookmarkFile::toHtml(
            {{"Tom & \"Jerry\" <3 'n'", "https://x.example/?a=1&b=\"<2>\""}, {"Zoë\nnew", "https://y.example/"}});
        QCOMPARE(html, QByteArray("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                                  "<!-- This is an automatically generated file.\n"
                                  "     It will be read and overwritten.\n"
                                  "     DO NOT EDIT! -->\n"
                                  "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                                  "<TITLE>Bookmarks</TITLE>\n"
                                  "<H1>Bookmarks</H1>\n"
                                  "<DL><p>\n"
                                  "    <DT><A HREF=\"https://x.example/?a=1&amp;b=&quot;&lt;2&gt;&quot;\">"
                                  "Tom &amp; &quot;Jerry&quot; &lt;3 'n'</A>\n"
                                  "    <DT><A HREF=\"https://y.example/\">Zo\xC3\xAB&#10;new</A>\n"
                                  "</DL><p>\n"));
    }

    // Tests run as root, where permissions do not bite: each row fails for root too.
    void failedWriteLeavesTheOldFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder missing") << "missing";
        QTest::newRow("path is a folder") << "folder";
        QTest::newRow("no room in the name for the temporary copy") << "longname";
    }

    void failedWriteLeavesTheOldFile()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        QString path;
        if (kind == QLatin1String("missing")) {
            path = dir.filePath(QStringLiteral("gone/export.html"));
        } else if (kind == QLatin1String("folder")) {
            path = dir.filePath(QStringLiteral("export.html"));
            QVERIFY(QDir().mkdir(path));
            QVERIFY(writeBytes(path + QStringLiteral("/inside"), "kept"));
        } else {
            path = dir.filePath(QString(255, QLatin1Char('e')));
            QVERIFY(writeBytes(path, "the old export\n"));
        }
        const QStringList before = QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        const QByteArray oldBytes = bytesOf(path);

        QString reason;
        QVERIFY(!BookmarkFile::writeFile(path, {{"a", "https://a.example/"}}, &reason));
        QVERIFY2(reason.contains(QLatin1String("left as it was")), qPrintable(reason));
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        QCOMPARE(bytesOf(path), oldBytes);
        if (kind == QLatin1String("folder"))
            QCOMPARE(bytesOf(path + QStringLiteral("/inside")), QByteArray("kept"));
    }

    // Elements nested to the limit are read, one level more is refused; real exports nest a few
    // levels (the fixtures 5 to 7, a Chromium export three folders deep 9), far below it.
    void depthLimit()
    {
        const auto nested = [](int levels) {
            return QByteArray("<div>").repeated(levels - 1) + "<A HREF=\"https://x.example/\">x</A>";
        };
        QVERIFY(BookmarkFile::read(nested(BookmarkFile::kMaxDepth)).ok());
        QCOMPARE(BookmarkFile::read(nested(BookmarkFile::kMaxDepth + 1)).error, BookmarkError::TooDeep);
        for (const char* name : {"firefox.html", "chromium.html", "safari.html", "windows1252.html"}) {
            const BookmarkReadResult shallow =
                BookmarkFile::read(bytesOf(fixture(name)), BookmarkFile::kPieceBytes, 7);
            QVERIFY2(shallow.ok(), name);
        }
        const BookmarkReadResult export3Deep = BookmarkFile::read(chromiumShaped(3000), 4096, 9);
        QVERIFY2(export3Deep.ok(), qPrintable(export3Deep.reason));
        QCOMPARE(export3Deep.links.size(), 3000);
    }

    // Past the depth check, the parser's tree is still freed without recursion: the file that
    // crashed the program reads when the check is lifted.
    void deepTreeIsFreedWithoutRecursion()
    {
        const BookmarkReadResult read = BookmarkFile::read(withLinkAfter(QByteArray("<span>").repeated(300000)),
                                                           BookmarkFile::kPieceBytes, INT_MAX, UINT64_MAX);
        QVERIFY2(read.ok(), qPrintable(read.reason));
        QCOMPARE(shown(read.links),
                 (QStringList{"First -> https://first.example/", "Last -> https://last.example/"}));
    }

    // A parse that would hold more than its budget stops there and frees what it took; the same
    // guard then parses what fits, and its tree is there until released.
    void parseStopsAtItsBudget()
    {
        const QByteArray markup = QByteArray("<span title=x></span>").repeated(20000);
        const QByteArray small = "<A HREF=u>n</A>";
        GuardedParse parser(1024 * 1024, {});
        QVERIFY(!parser.parse(kGumboDefaultOptions, markup.constData(), size_t(markup.size())));
        QCOMPARE(parser.outcome(), GuardedParse::Outcome::OverBudget);
        QVERIFY(parser.peakBytes() <= 1024 * 1024);
        const GumboOutput* output = parser.parse(kGumboDefaultOptions, small.constData(), size_t(small.size()));
        QVERIFY(output);
        QCOMPARE(parser.outcome(), GuardedParse::Outcome::Parsed);
        QCOMPARE(output->root->type, GUMBO_NODE_ELEMENT);
        parser.release();
    }

    // "Cancel" is asked during a parse as well, not only between blocks of the file.
    void cancelStopsInsideAParse()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("uncut.html"));
        QVERIFY(writeBytes(path, withLinkAfter(QByteArray("<span></span>").repeated(50000))));
        int asked = 0;
        const BookmarkReadResult read = BookmarkFile::readFile(path, [&asked](qint64 done, qint64) {
            // The first pass asks once for its one block; the second block of asking is the parse's.
            return ++asked < 3 || done > BookmarkFile::kReadBlockBytes;
        });
        QCOMPARE(read.error, BookmarkError::Cancelled);
        QCOMPARE(asked, 3);
    }

    void readsUtf16AndStrayNul_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("links");
        const QString text = QStringLiteral("<DL><p><DT><A HREF=\"https://x.example/é\">Crème 📬</A></DL>");
        const QStringList link{"Crème 📬 -> https://x.example/é"};
        QTest::newRow("UTF-16 LE") << "\xFF\xFE" + utf16(text) << link;
        QTest::newRow("UTF-16 BE") << "\xFE\xFF" + utf16(text, QStringEncoder::Utf16BE) << link;
        QTest::newRow("one stray NUL") << "<DL><p><DT><A HREF=\"https://x.example/\">a" + QByteArray(1, '\0') +
                                              "b</A><DT><A HREF=\"https://y.example/\">padding to read as text</A>"
                                       << QStringList{"a\uFFFDb -> https://x.example/",
                                                      "padding to read as text -> https://y.example/"};
    }

    void readsUtf16AndStrayNul()
    {
        QFETCH(QByteArray, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("bookmarks.html"));
        QVERIFY(writeBytes(path, bytes));
        const BookmarkReadResult fromFile = BookmarkFile::readFile(path);
        QVERIFY2(fromFile.ok(), qPrintable(fromFile.reason));
        QTEST(shown(fromFile.links), "links");
        QCOMPARE(shown(BookmarkFile::read(bytes, 1).links), shown(fromFile.links));
    }

    void skipsTooLongNamesAndAddresses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("kept");
        const qsizetype most = BookmarkFile::kMaxTextLength;
        const QString address = QStringLiteral("https://x.example/");
        QTest::newRow("name at the limit") << QString(most, QLatin1Char('n')) << address << true;
        QTest::newRow("name one over") << QString(most + 1, QLatin1Char('n')) << address << false;
        QTest::newRow("address at the limit")
            << "n" << address + QString(most - address.size(), QLatin1Char('u')) << true;
        QTest::newRow("address one over")
            << "n" << address + QString(most + 1 - address.size(), QLatin1Char('u')) << false;
        // Characters as the entry boxes count them: one outside the BMP is two.
        QTest::newRow("emoji over by counting") << QStringLiteral("📬").repeated(most / 2 + 1) << address << false;
        QTest::newRow("three-byte characters at the limit") << QString(most, QChar(0x6771)) << address << true;
    }

    void skipsTooLongNamesAndAddresses()
    {
        QFETCH(QString, name);
        QFETCH(QString, url);
        QFETCH(bool, kept);
        const QList<Link> links{{name, url}, {QStringLiteral("short"), QStringLiteral("https://s.example/")}};
        const BookmarkReadResult read = BookmarkFile::read(BookmarkFile::toHtml(links));
        QVERIFY2(read.ok(), qPrintable(read.reason));
        QCOMPARE(read.links, kept ? links : links.mid(1));
        QCOMPARE(read.skippedTooLong, kept ? 0 : 1);
    }

    // Every kind of character through a written file and back: exactly, but for the few no HTML
    // file carries, which come back as nameAsRead() says.
    void writtenCharactersComeBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exact");
        const auto all = [](char32_t from, char32_t to) {
            QString text = QStringLiteral("x");
            for (char32_t c = from; c <= to; ++c)
                text.append(QStringView(QChar::fromUcs4(c))).append(QLatin1Char('x'));
            return text;
        };
        QTest::newRow("C0 controls but NUL") << all(0x01, 0x1F) << true;
        QTest::newRow("DEL") << all(0x7F, 0x7F) << true;
        QTest::newRow("C1 controls HTML keeps") << QString::fromUtf16(u"\u0081\u008D\u008F\u0090\u009D") << true;
        QTest::newRow("C1 controls HTML reads as Windows-1252") << all(0x80, 0x9F) << false;
        QTest::newRow("non-characters")
            << all(0xFDD0, 0xFDEF) + all(0xFFFE, 0xFFFF) + all(0x10FFFE, 0x10FFFF) << true;
        QTest::newRow("NUL") << QString::fromUtf16(u"a\u0000b", 3) << false;
        QTest::newRow("unpaired surrogates") << QString::fromUtf16(u"a\xD800"
                                                                   "b\xDC00")
                                             << false;
        QTest::newRow("white space laid out") << "  two  blanks\tthen tab\fform feed\r\nbreaks  " << true;
        QTest::newRow("one blank") << " " << true;
        QTest::newRow("markup and entities") << "<A HREF=\"x\">&amp;</A> 'q'" << true;
        QTest::newRow("beyond the BMP, marks, no-break space") << "📬 e\u0301\u00A0\uFEFF\uFFFD" << true;
    }

    void writtenCharactersComeBack()
    {
        QFETCH(QString, text);
        QFETCH(bool, exact);
        const QList<Link> links{{text, QStringLiteral("https://x.example/") + text}};
        const QByteArray html = BookmarkFile::toHtml(links);
        QVERIFY2(!html.contains('\0'), "a NUL would make the file binary");
        const BookmarkReadResult read = BookmarkFile::read(html);
        QVERIFY2(read.ok(), qPrintable(read.reason));
        QCOMPARE(read.links.size(), 1);
        QCOMPARE(read.links[0].name, BookmarkFile::nameAsRead(text));
        QCOMPARE(read.links[0].name == text, exact);
        QCOMPARE(read.links[0].url, QStringLiteral("https://x.example/") + BookmarkFile::nameAsRead(text));
    }

    void exportWritesNulAsReplacementCharacter()
    {
        const QByteArray html = BookmarkFile::toHtml({{QString::fromUtf16(u"a\u0000b", 3), QStringLiteral("u")}});
        QVERIFY(html.contains("\">a\xEF\xBF\xBD"
                              "b</A>"));
        QCOMPARE(BookmarkFile::nameAsRead(QString::fromUtf16(u"a\u0000b", 3)), QStringLiteral("a\uFFFDb"));
    }
};

QTEST_GUILESS_MAIN(tst_bookmarkfile)
#include "tst_bookmarkfile.moc"
