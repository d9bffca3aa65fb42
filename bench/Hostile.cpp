// Bookmark files shaped as an attacker would shape them, each read in a fresh child process: the
// time until the reader gives its links or its refusal, and its peak memory above what the child
// held before. A child that crashes or runs past the time-out is reported as such.
#include "app/frmMain.h"
#include "bench/Bench.h"
#include "bookmarkfile/BookmarkFile.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace bench {

namespace {

constexpr int kChildTimeoutMs = 180000;

const QByteArray kHeader = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                           "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n";

// Writes the file in parts of a few megabytes, so that even the largest is never built whole.
class Writer {
public:
    explicit Writer(const QString& path) : m_file(path) { m_ok = m_file.open(QIODevice::WriteOnly); }
    void add(const QByteArray& bytes)
    {
        m_buffer += bytes;
        if (m_buffer.size() >= 4 * 1024 * 1024)
            flush();
    }
    void repeat(const QByteArray& bytes, qint64 times)
    {
        for (qint64 i = 0; i < times; ++i)
            add(bytes);
    }
    bool finish()
    {
        flush();
        m_file.close();
        return m_ok;
    }

private:
    void flush()
    {
        m_ok = m_ok && m_file.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
    }
    QFile m_file;
    QByteArray m_buffer;
    bool m_ok = false;
};

struct Shape {
    const char* name;
    std::function<void(Writer&)> write;
    bool cancelled = false; // also import it through the main window and press "Cancel" midway
};

const QList<Shape>& shapes()
{
    static const QList<Shape> all{
        {"300,000 unclosed <span>",
         [](Writer& w) {
             w.add(kHeader + "<DT><A HREF=\"https://first.example/\">First</A>\n");
             w.repeat("<span>", 300000);
             w.add("\n<DT><A HREF=\"https://second.example/\">Second</A>\n</DL><p>\n");
         }},
        {"100,000 nested <div>",
         [](Writer& w) {
             w.add(kHeader);
             w.repeat("<div>\n", 100000);
             w.add("<DT><A HREF=\"https://deep.example/\">Deep</A>\n");
         }},
        {"100,000 nested folders",
         [](Writer& w) {
             w.add(kHeader);
             for (int i = 0; i < 100000; ++i)
                 w.add("<DT><H3>Folder " + QByteArray::number(i) + "</H3>\n<DL><p>\n");
             w.add("<DT><A HREF=\"https://deep.example/\">Deep</A>\n");
         }},
        {"1,000,000 anchors without <DT>",
         [](Writer& w) {
             w.add(kHeader);
             for (int i = 0; i < 1000000; ++i) {
                 const QByteArray n = QByteArray::number(i);
                 w.add("<A HREF=\"https://www.example.com/" + n + "\">Site number " + n + "</A>\n");
             }
         },
         true},
        {"one anchor name of 60 MB",
         [](Writer& w) {
             w.add(kHeader + "<DT><A HREF=\"https://long.example/\">");
             w.repeat(QByteArray(1024 * 1024, 'n'), 60);
             w.add("</A>\n<DT><A HREF=\"https://short.example/\">Short</A>\n</DL><p>\n");
         },
         true},
        // The deepest that is still read, with the most text the limit lets in.
        {"60 MB of anchor text 510 levels deep",
         [](Writer& w) {
             w.add(kHeader);
             w.repeat("<div>", 508);
             w.add("<A HREF=\"https://deep.example/\">");
             w.repeat(QByteArray(1024 * 1024, 'n'), 60);
             w.add("</A>\n");
         }},
        // Twenty million elements: each costs the parser a fraction of a microsecond.
        {"60 MB of <p>",
         [](Writer& w) {
             w.add(kHeader + "<DT><A HREF=\"https://one.example/\">One</A>\n");
             w.repeat(QByteArray("<p>").repeated(1024 * 1024), 20);
         }},
        // Markup the reader cannot cut into pieces, so the parser gets all of it at once.
        {"63 MB of <span></span> and one anchor",
         [](Writer& w) {
             w.add(kHeader + "<DT><A HREF=\"https://one.example/\">One</A>\n");
             w.repeat(QByteArray("<span></span>").repeated(1024), 63 * 1024 * 1024 / (13 * 1024));
         }},
    };
    return all;
}

struct ChildRun {
    QString outcome; // what the reader gave, or how the child ended
    double ms = -1;
    long peakKb = -1;
    double cancelMs = -1;
};

ChildRun runChild(const QString& mode, const QString& path)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {mode, path});
    ChildRun run;
    if (!child.waitForFinished(kChildTimeoutMs)) {
        child.kill();
        child.waitForFinished();
        run.outcome = QStringLiteral("no answer within %1 s").arg(kChildTimeoutMs / 1000);
        return run;
    }
    if (child.exitStatus() != QProcess::NormalExit) {
        run.outcome =
            QStringLiteral("crashed (%1)")
                .arg(child.error() == QProcess::Crashed ? QStringLiteral("signal") : child.errorString());
        return run;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (line.startsWith("ms="))
            run.ms = line.mid(3).toDouble();
        else if (line.startsWith("peak_kb="))
            run.peakKb = line.mid(8).toLong();
        else if (line.startsWith("outcome="))
            run.outcome = QString::fromUtf8(line.mid(8));
        else if (line.startsWith("cancel_ms="))
            run.cancelMs = line.mid(10).toDouble();
    }
    return run;
}

} // namespace

void hostileRead(const QString& path)
{
    if (!resetPeak()) {
        std::printf("outcome=cannot reset the peak\n");
        return;
    }
    const long before = residentKb();
    QElapsedTimer timer;
    timer.start();
    const BookmarkReadResult result = BookmarkFile::readFile(path);
    const double ms = msSince(timer);
    const long peak = statusKb("VmHWM") - before;
    QString outcome = result.ok() ? QStringLiteral("%1 links").arg(result.links.size())
                                  : QStringLiteral("refused: ") + result.reason;
    std::printf("ms=%.1f\npeak_kb=%ld\noutcome=%s\n", ms, peak, outcome.toUtf8().constData());
}

// "Import Bookmarks..." on the real main window, "Cancel" pressed on its progress a second and a
// half in (the file is parsing by then): the time until the command is back with its message.
void hostileCancel(const QString& path)
{
    testkit::TempLinksDb file;
    file.setOther(1, QStringLiteral("No"));
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes;
    testkit::ScriptedFileDialog dialog;
    dialog.answer = path;
    frmMain* main = Forms::show<frmMain>();
    QElapsedTimer sinceCancel;
    // Off the 20 ms grid of the window's polling, so the figure holds the wait for its next look.
    QTimer::singleShot(1510, [&sinceCancel] {
        for (QWidget* widget : QApplication::allWidgets()) {
            if (auto* progress = qobject_cast<QProgressDialog*>(widget)) {
                sinceCancel.start();
                progress->cancel();
            }
        }
    });
    if (main)
        main->mnuImportBookmarks_Click();
    const bool cancelled = sinceCancel.isValid() && boxes.texts().value(0).contains(QLatin1String("cancelled"));
    std::printf("cancel_ms=%.1f\n", cancelled ? msSince(sinceCancel) : -1.0);
}

int runHostileTable()
{
    QTextStream out(stdout);
    QTemporaryDir dir;
    out << "\nHostile bookmark files, each read once in a fresh child process: the time until its links "
           "or its refusal, and the peak memory above what the child held before; for the two that take "
           "longest, \"Cancel\" pressed 1.5 s into \"Import Bookmarks...\" on the main window, and the time "
           "until the command is back\n\n";
    out << "| file | size | outcome | time | peak memory | Cancel answered |\n|---|---:|---|---:|---:|---:|\n";
    out.flush();
    int failures = 0;
    for (const Shape& shape : shapes()) {
        const QString path = dir.filePath(QStringLiteral("hostile.html"));
        Writer writer(path);
        shape.write(writer);
        if (!writer.finish()) {
            out << "| " << shape.name << " | cannot write the file |  |  |  |  |\n";
            ++failures;
            continue;
        }
        QTextStream(stderr) << "hostile: " << shape.name << "\n";
        const double mb = double(QFileInfo(path).size()) / (1024 * 1024);
        ChildRun run = runChild(QStringLiteral("--bookmark-hostile"), path);
        if (shape.cancelled)
            run.cancelMs = runChild(QStringLiteral("--bookmark-cancel"), path).cancelMs;
        if (run.ms < 0)
            ++failures;
        out << "| " << shape.name << " | " << QString::number(mb, 'f', 1) << " MB | " << run.outcome.left(90)
            << " | "
            << (run.ms < 0 ? QStringLiteral("-") : QString::number(run.ms, 'f', 0) + QStringLiteral(" ms"))
            << " | "
            << (run.peakKb < 0 ? QStringLiteral("-")
                               : QStringLiteral("%1 MB (%2x)")
                                     .arg(double(run.peakKb) / 1024, 0, 'f', 1)
                                     .arg(double(run.peakKb) / 1024 / mb, 0, 'f', 2))
            << " | "
            << (run.cancelMs < 0 ? QStringLiteral("")
                                 : QString::number(run.cancelMs, 'f', 1) + QStringLiteral(" ms"))
            << " |\n";
        out.flush();
        QFile::remove(path);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace bench
