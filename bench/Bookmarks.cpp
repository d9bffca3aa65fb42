// Reading and writing a 100,000-link bookmark file. Reading is set beside its floor, one gumbo_parse
// of the same bytes (and gumbo_destroy_output, which any parse pays); its peak memory is set beside
// the file's size, each taken in a fresh child process.
#include "app/frmMain.h"
#include "bench/Bench.h"
#include "bench/Names.h"
#include "bookmarkfile/BookmarkFile.h"
#include "data/LinksStore.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <gumbo.h>
#include <vector>

namespace bench {

namespace {

constexpr int kLinks = 100000;

// A browser's export: a toolbar folder, a few folders of 20,000 links with one nested inside, and
// ADD_DATE on every line, as Chromium writes them.
QByteArray exportOf(const QList<Link>& links)
{
    QByteArray html = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n"
                      "    <DT><H3 ADD_DATE=\"1700000000\" PERSONAL_TOOLBAR_FOLDER=\"true\">Bookmarks bar</H3>\n"
                      "    <DL><p>\n";
    for (int i = 0; i < links.size(); ++i) {
        if (i % 20000 == 0 && i > 0)
            html += "    </DL><p>\n    <DT><H3 ADD_DATE=\"1700000000\">Folder " + QByteArray::number(i / 20000) +
                    "</H3>\n    <DL><p>\n";
        if (i % 20000 == 10000)
            html += "        <DT><H3 ADD_DATE=\"1700000000\">Inside</H3>\n        <DL><p>\n";
        html += "        <DT><A HREF=\"" + links[i].url.toHtmlEscaped().toUtf8() + "\" ADD_DATE=\"" +
                QByteArray::number(1700000000 + i) + "\">" + links[i].name.toHtmlEscaped().toUtf8() + "</A>\n";
        if (i % 20000 == 10999)
            html += "        </DL><p>\n";
    }
    html += "    </DL><p>\n</DL><p>\n";
    return html;
}

// Peak memory of reading `path` in a fresh child process, in kilobytes above what it held before.
long childPeakKb(const QString& kind, const QString& path, QStringList& problems)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bookmark-peak"), kind, path});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        problems << QStringLiteral("bookmark %1 memory child failed: %2")
                        .arg(kind, QString::fromLocal8Bit(child.readAllStandardError()));
        return -1;
    }
    const QString reply = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    if (!reply.startsWith(QLatin1String("peak_kb=")))
        problems << QStringLiteral("bookmark %1 memory child said: %2").arg(kind, reply);
    return reply.mid(8).toLong();
}

// VmHWM: the most this process has held resident since it started or since the peak was reset.
// The program with an empty list, its main window open, and the file dialog answering `path`:
// what a user has in front of them before "Import Bookmarks...".
struct ImportSession {
    explicit ImportSession(const QString& path)
    {
        file.setOther(1, QStringLiteral("No"));
        dialog.answer = path;
        main = Forms::show<frmMain>();
    }
    ~ImportSession() { testkit::resetApplication(); }
    testkit::TempLinksDb file;
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes;
    testkit::ScriptedFileDialog dialog;
    frmMain* main = nullptr;
};

long peakResidentKb()
{
    return statusKb("VmHWM");
}

} // namespace

bool resetPeak()
{
    // Writing 5 to clear_refs resets the peak, so only what comes after counts.
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

long bookmarkPeakKb(const QString& kind, const QString& path)
{
    if (kind.startsWith(QLatin1String("import"))) {
        ImportSession session(path);
        if (!session.main || !resetPeak())
            return -1;
        const long program = residentKb();
        session.main->mnuImportBookmarks_Click();
        return session.file.linkCount() == kLinks ? peakResidentKb() - program : -1;
    }
    if (kind == QLatin1String("list")) {
        // The program's own memory for the same links when it starts with them already stored.
        const long empty = [&path] {
            ImportSession session(path);
            return session.main ? residentKb() : -1L;
        }();
        testkit::TempLinksDb file;
        file.setOther(1, QStringLiteral("No"));
        LinksStore::addAll(BookmarkFile::readFile(path).links);
        testkit::FakeInstanceGuard guard;
        testkit::ScriptedMessageBox boxes;
        frmMain* main = Forms::show<frmMain>();
        const long withList = residentKb();
        testkit::resetApplication();
        return main && empty >= 0 ? withList - empty : -1;
    }
    if (!resetPeak())
        return -1;
    const long before = residentKb();
    if (kind == QLatin1String("floor")) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray bytes = file.readAll();
        GumboOutput* output = gumbo_parse(bytes.constData());
        const long peak = peakResidentKb();
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        return peak - before;
    }
    const BookmarkReadResult result = BookmarkFile::readFile(path);
    return result.links.size() == kLinks ? peakResidentKb() - before : -1;
}

int runBookmarkTable(int runs)
{
    QTextStream out(stdout);
    QStringList problems;
    // Every name once, so that the import adds every link of the file.
    QList<Link> links = realisticLinks(kLinks);
    QSet<QString> seen;
    for (qsizetype i = 0; i < links.size(); ++i) {
        while (seen.contains(links[i].name))
            links[i].name += QStringLiteral(" %1").arg(i);
        seen.insert(links[i].name);
    }
    const QByteArray html = exportOf(links);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bookmarks.html"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(html) != html.size())
        problems << QStringLiteral("cannot write %1").arg(path);
    file.close();

    const QList<Link>& toWrite = links;
    const QList<Link>& toStore = links;

    std::vector<double> read, floor, write, import, importFloor;
    for (int run = 0; run < runs; ++run) {
        QTextStream(stderr) << "bookmarks: run " << run + 1 << " of " << runs << "\n";
        QElapsedTimer timer;
        timer.start();
        const BookmarkReadResult result = BookmarkFile::read(html);
        read.push_back(msSince(timer));
        if (result.links.size() != kLinks)
            problems << QStringLiteral("read %1 links of %2").arg(result.links.size()).arg(kLinks);

        timer.start();
        GumboOutput* output = gumbo_parse(html.constData());
        gumbo_destroy_output(&kGumboDefaultOptions, output);
        floor.push_back(msSince(timer));

        {
            // The whole command as the user meets it: read, skip, one transaction, the list rebuilt.
            ImportSession session(path);
            timer.start();
            if (session.main)
                session.main->mnuImportBookmarks_Click();
            import.push_back(msSince(timer));
            if (session.file.linkCount() != kLinks)
                problems << QStringLiteral("imported %1 links of %2").arg(session.file.linkCount()).arg(kLinks);
        }
        {
            // Its floor: one parse of the file from disk, one bulk insert of the same links.
            testkit::TempLinksDb empty;
            QList<Link> parsed;
            timer.start();
            QFile source(path);
            if (!source.open(QIODevice::ReadOnly))
                problems << QStringLiteral("cannot read %1").arg(path);
            const QByteArray bytes = source.readAll();
            GumboOutput* parse = gumbo_parse(bytes.constData());
            gumbo_destroy_output(&kGumboDefaultOptions, parse);
            LinksStore::addAll(toStore);
            importFloor.push_back(msSince(timer));
        }

        timer.start();
        QString reason;
        if (!BookmarkFile::writeFile(dir.filePath(QStringLiteral("export.html")), toWrite, &reason))
            problems << reason;
        write.push_back(msSince(timer));
    }
    const double readMs = median(read), floorMs = median(floor), writeMs = median(write);
    const double importMs = median(import), importFloorMs = median(importFloor);
    const double importMb = double(childPeakKb(QStringLiteral("import"), path, problems)) / 1024;
    const double listMb = double(childPeakKb(QStringLiteral("list"), path, problems)) / 1024;
    const double fileMb = double(html.size()) / (1024 * 1024);
    const double readMb = double(childPeakKb(QStringLiteral("read"), path, problems)) / 1024;
    const double floorMb = double(childPeakKb(QStringLiteral("floor"), path, problems)) / 1024;

    const QLocale english(QLocale::English);
    const auto ms = [](double v) { return QString::number(v, 'f', 1) + QStringLiteral(" ms"); };
    const auto mb = [fileMb](double v) {
        return QStringLiteral("%1 MB (%2x the file)").arg(v, 0, 'f', 1).arg(v / fileMb, 0, 'f', 2);
    };
    const auto goal = [](bool met, const QString& text) {
        return text + (met ? QStringLiteral("  met") : QStringLiteral("  MISSED"));
    };
    const bool readMet = readMs <= 1.5 * floorMs, writeMet = writeMs <= 500, memoryMet = readMb <= 3 * fileMb;
    const bool importMet = importMs <= 2000 && importMs <= 1.5 * importFloorMs;
    const bool importMemoryMet = importMb - listMb <= 3 * fileMb;
    out << "\nBookmark file of " << english.toString(kLinks) << " links (" << QString::number(fileMb, 'f', 1)
        << " MB), medians of " << runs
        << " runs; floor of reading = one gumbo_parse of the same bytes, floor of importing = reading the file, "
           "one gumbo_parse and one bulk insert of the links into an empty links.mdb\n\n";
    out << "| links | measure | program | floor | program/floor | goal |\n|---:|---|---:|---:|---:|---|\n";
    out << "| " << english.toString(kLinks) << " | read a bookmark file | " << ms(readMs) << " | " << ms(floorMs)
        << " | " << QString::number(readMs / floorMs, 'f', 2) << "x | " << goal(readMet, QStringLiteral("<= 1.5x"))
        << " |\n";
    out << "| " << english.toString(kLinks) << " | import through the main window | " << ms(importMs) << " | "
        << ms(importFloorMs) << " | " << QString::number(importMs / importFloorMs, 'f', 2) << "x | "
        << goal(importMet, QStringLiteral("<= 2 s and <= 1.5x")) << " |\n";
    out << "| " << english.toString(kLinks)
        << " | peak memory of importing, above the program with an empty list | " << mb(importMb)
        << " |  |  |  |\n";
    out << "| " << english.toString(kLinks) << " | the program's own with the same links after a start | "
        << mb(listMb) << " |  |  |  |\n";
    out << "| " << english.toString(kLinks) << " | memory of importing above the program's own | "
        << mb(importMb - listMb) << " |  |  | " << goal(importMemoryMet, QStringLiteral("<= 3x the file"))
        << " |\n";
    out << "| " << english.toString(kLinks) << " | write a bookmark file | " << ms(writeMs) << " |  |  | "
        << goal(writeMet, QStringLiteral("<= 500 ms")) << " |\n";
    out << "| " << english.toString(kLinks) << " | peak memory of reading | " << mb(readMb) << " | " << mb(floorMb)
        << " | " << QString::number(readMb / floorMb, 'f', 2) << "x | "
        << goal(memoryMet, QStringLiteral("<= 3x the file")) << " |\n";
    for (const QString& problem : std::as_const(problems))
        out << "\nPROBLEM: " << problem << "\n";
    out << "\n"
        << (problems.isEmpty() ? (readMet && writeMet && memoryMet && importMet && importMemoryMet
                                      ? "Every bookmark goal met."
                                      : "Some bookmark goals missed.")
                               : "Problems found.")
        << "\n";
    return problems.isEmpty() ? 0 : 1;
}

} // namespace bench
