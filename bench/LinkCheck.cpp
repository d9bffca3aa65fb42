// "Check Links..." over 10,000 links on 1,000 local hosts whose every answer takes 200 ms, through
// the program's real windows: how long the whole check takes beside the least time the politeness
// limits allow, the longest the window's event loop was held up while checking, and the memory the
// check costs above the program's own. The hosts run in one child process and the program in
// another, so neither the servers' work nor anything measured before counts.
#include "bench/Bench.h"

#include "app/Startup.h"
#include "app/frmMain.h"
#include "data/LinksDb.h"
#include "forms/linkcheck/frmCheckLinks.h"
#include "linkcheck/LinkChecker.h"
#include "testkit/ScriptedHttpServer.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QSocketNotifier>
#include <QTextStream>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <unistd.h>
#include <vector>

namespace bench {

namespace {

constexpr int Hosts = 1000;
constexpr int LinksPerHost = 10;
constexpr int AnswerMs = 200;
constexpr int HeartbeatMs = 5;

// One link in a hundred is gone (404 to HEAD and to GET), one has moved (301 to a page that is there).
QString pathFor(int link)
{
    if (link % 100 == 0)
        return QStringLiteral("/gone/%1").arg(link);
    if (link % 100 == 50)
        return QStringLiteral("/old/%1").arg(link);
    return QStringLiteral("/p/%1").arg(link);
}

QString value(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        if (line.startsWith(key + QLatin1Char('=')))
            return line.mid(key.size() + 1);
    }
    return {};
}

QString seconds(double ms)
{
    return ms < 0 ? QStringLiteral("n/a") : QString::number(ms / 1000, 'f', 1) + QStringLiteral(" s");
}

QString megabytes(double kb)
{
    return kb < 0 ? QStringLiteral("n/a") : QString::number(kb / 1024, 'f', 1) + QStringLiteral(" MB");
}

} // namespace

int serveLinkHosts(int hosts, int answerMs)
{
    std::vector<std::unique_ptr<testkit::ScriptedHttpServer>> servers;
    auto all = std::make_shared<testkit::ConnectionGauge>();
    for (int i = 0; i < hosts; ++i) {
        auto server = std::make_unique<testkit::ScriptedHttpServer>(
            QHostAddress(QStringLiteral("127.1.%1.%2").arg(i / 250).arg(1 + i % 250)));
        if (!server->isListening()) {
            std::printf("problem=host %d cannot listen\n", i);
            return 1;
        }
        server->countInto(all);
        server->otherwise([answerMs](const testkit::SeenRequest& request, int) {
            testkit::Reply reply;
            if (request.path.startsWith(QLatin1String("/gone/")))
                reply = testkit::Reply{404};
            else if (request.path.startsWith(QLatin1String("/old/")))
                reply = testkit::Reply::redirect(301, "/p/" + request.path.section(QLatin1Char('/'), 2).toUtf8());
            reply.delayMs = answerMs;
            return reply;
        });
        std::printf("host=%s\n", qPrintable(server->base()));
        servers.push_back(std::move(server));
    }
    std::printf("ready\n");
    std::fflush(stdout);

    // A line on stdin asks for the figures; then the hosts go.
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        int busiest = 0;
        qsizetype requests = 0;
        for (const auto& server : servers) {
            busiest = std::max(busiest, server->peakConnections());
            requests += server->requests.size();
        }
        std::printf("peak_host=%d\npeak_all=%d\nrequests=%lld\n", busiest, all->peak, qlonglong(requests));
        std::fflush(stdout);
        std::_Exit(0);
    });
    return QCoreApplication::exec();
}

int runLinkCheck(const QString& folder)
{
    LinksDb::setFolder(folder);
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes; // "Yes" to the question
    testkit::RecordingOpener opener;
    app::start();
    frmMain* main = Forms::find<frmMain>();
    if (!main) {
        std::printf("problem=the main window did not open\n");
        return 1;
    }
    // Let the first paints and the deferred work of the start settle.
    QEventLoop settle;
    QTimer::singleShot(1000, &settle, &QEventLoop::quit);
    settle.exec();
    const long before = residentKb();

    // A timer that should run every 5 ms: the longest wait between two of its runs is the longest
    // the event loop was held up. The memory is sampled on every tenth run.
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    qint64 longestAt = 0;
    long peak = before;
    int beats = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(HeartbeatMs);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (now - last > longest) {
            longest = now - last;
            longestAt = now;
        }
        last = now;
        if (++beats % 10 == 0)
            peak = std::max(peak, residentKb());
    });

    QEventLoop loop;
    QTimer poll;
    frmCheckLinks* form = nullptr;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (form && !form->isChecking())
            loop.quit();
    });
    clock.start();
    heartbeat.start();
    poll.start(50);
    // The command as the user gives it: the links read, the question, the window, the first requests.
    main->mnuCheckLinks->trigger();
    const double commandMs = double(clock.nsecsElapsed()) / 1e6;
    // From here on the check runs while the window waits for the user.
    last = clock.nsecsElapsed();
    form = Forms::find<frmCheckLinks>();
    if (!form) {
        std::printf("problem=the Check Links window did not open\n");
        return 1;
    }
    loop.exec();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    heartbeat.stop();
    peak = std::max(peak, residentKb());

    std::printf("check_ms=%.0f\ncommand_ms=%.1f\ngap_ms=%.1f\ngap_at_ms=%.0f\nrss_before_kb=%ld\nrss_peak_kb=%ld\n"
                "progress=%s\nsummary=%s\n",
                ms, commandMs, double(longest) / 1e6, double(longestAt) / 1e6, before, peak,
                qPrintable(form->lblProgress->text()), qPrintable(form->lblSummary->text()));
    std::fflush(stdout);
    std::_Exit(0); // the figures are out; skip tearing down the windows
}

int runLinkCheckTable()
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList problems;
    const QString self = QCoreApplication::applicationFilePath();

    err << "link check: starting " << Hosts << " hosts\n";
    err.flush();
    QProcess hosts;
    hosts.start(self, {QStringLiteral("--link-hosts"), QString::number(Hosts), QString::number(AnswerMs)});
    QStringList bases;
    QByteArray pending;
    while (hosts.waitForReadyRead(60000)) {
        pending += hosts.readAllStandardOutput();
        if (pending.contains("ready\n") || pending.contains("problem="))
            break;
    }
    for (const QByteArray& line : pending.split('\n')) {
        if (line.startsWith("host="))
            bases << QString::fromUtf8(line.mid(5));
        else if (line.startsWith("problem="))
            problems << QString::fromUtf8(line.mid(8));
    }
    if (bases.size() != Hosts) {
        out << "PROBLEM: the hosts did not start: " << problems.join(QStringLiteral("; ")) << "\n";
        hosts.kill();
        hosts.waitForFinished();
        return 1;
    }

    err << "link check: writing " << Hosts * LinksPerHost << " links\n";
    err.flush();
    testkit::TempLinksDb file;
    file.setOther(1, QStringLiteral("No"));
    QList<testkit::Link> links;
    // Host by host, as imported bookmarks of one site stand together.
    for (int h = 0; h < Hosts; ++h) {
        for (int k = 0; k < LinksPerHost; ++k) {
            const int n = h * LinksPerHost + k;
            links.append({QStringLiteral("Site %1").arg(n, 5, 10, QLatin1Char('0')), bases[h] + pathFor(n)});
        }
    }
    file.addLinks(links);

    err << "link check: checking (about " << qlonglong(Hosts) * LinksPerHost * AnswerMs / 16 / 1000 << " s)\n";
    err.flush();
    QProcess run;
    run.start(self, {QStringLiteral("--linkcheck-run"), file.folder()});
    if (!run.waitForFinished(15 * 60 * 1000))
        problems << QStringLiteral("the check did not end within 15 minutes");
    const QStringList figures = QString::fromUtf8(run.readAllStandardOutput()).split(QLatin1Char('\n'));
    if (const QString problem = value(figures, QStringLiteral("problem")); !problem.isEmpty())
        problems << problem;

    hosts.write("report\n");
    hosts.waitForFinished(60000);
    const QStringList served = QString::fromUtf8(hosts.readAllStandardOutput()).split(QLatin1Char('\n'));

    const double checkMs = value(figures, QStringLiteral("check_ms")).toDouble();
    const double commandMs = value(figures, QStringLiteral("command_ms")).toDouble();
    const double gapMs = value(figures, QStringLiteral("gap_ms")).toDouble();
    const double gapAtMs = value(figures, QStringLiteral("gap_at_ms")).toDouble();
    const double beforeKb = value(figures, QStringLiteral("rss_before_kb")).toDouble();
    const double peakKb = value(figures, QStringLiteral("rss_peak_kb")).toDouble();
    const int requests = value(served, QStringLiteral("requests")).toInt();
    const int busiest = value(served, QStringLiteral("peak_host")).toInt();
    const int atOnce = value(served, QStringLiteral("peak_all")).toInt();
    // The least time the limits allow: every request takes 200 ms and 16 are under way at once.
    const linkcheck::Settings limits;
    const double floorMs = double((requests + limits.inAll - 1) / limits.inAll) * AnswerMs;

    const QString expected = QStringLiteral("fine: 9,800, gone: 100, moved: 100");
    if (value(figures, QStringLiteral("summary")) != expected)
        problems << QStringLiteral("the check found \"%1\", expected \"%2\"")
                        .arg(value(figures, QStringLiteral("summary")), expected);
    if (value(figures, QStringLiteral("progress")) != QStringLiteral("Checked 10,000 of 10,000 links"))
        problems << QStringLiteral("the window ended at \"%1\"").arg(value(figures, QStringLiteral("progress")));

    bool allMet = true;
    const auto goal = [&allMet](bool met, const QString& text) { return bench::goal(text, met, allMet); };
    const QLocale english(QLocale::English);
    out << "\nLink check: " << english.toString(Hosts * LinksPerHost) << " links on " << english.toString(Hosts)
        << " local hosts, every answer after " << AnswerMs << " ms, through the main window's command\n\n";
    out << "| links | measure | program | floor | program/floor | goal |\n|---:|---|---:|---:|---:|---|\n";
    const QString n = english.toString(Hosts * LinksPerHost);
    out << "| " << n << " | whole check | " << seconds(checkMs) << " | " << seconds(floorMs) << " | "
        << ratio(checkMs, floorMs)
        << " | " << goal(checkMs > 0 && checkMs <= 180000, QStringLiteral("<= 3 min")) << " |\n";
    out << "| " << n << " | the command: links read, question, window, first requests | "
        << QString::number(commandMs, 'f', 1) << " ms |  |  | "
        << goal(commandMs > 0 && commandMs <= 50, QStringLiteral("<= 50 ms")) << " |\n";
    out << "| " << n << " | longest wait of a 5 ms timer while checking | " << QString::number(gapMs, 'f', 1)
        << " ms (at " << seconds(gapAtMs) << ") |  |  | "
        << goal(gapMs > 0 && gapMs <= 50, QStringLiteral("<= 50 ms")) << " |\n";
    out << "| " << n << " | resident memory, peak while checking | " << megabytes(peakKb) << " | "
        << megabytes(beforeKb) << " (before) | "
        << ratio(peakKb, beforeKb)
        << " | " << goal(beforeKb > 0 && peakKb <= 1.3 * beforeKb, QStringLiteral("<= 1.3x")) << " |\n";
    out << "| " << n << " | requests; most connections at once to one host, in all | "
        << english.toString(requests) << "; " << busiest << ", " << atOnce << " |  |  | "
        << goal(busiest > 0 && busiest <= limits.perSite && atOnce <= limits.inAll, QStringLiteral("<= 2, <= 16"))
        << " |\n";
    return endTable(out, problems, allMet);
}

} // namespace bench
