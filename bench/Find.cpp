// The Find Site Link window over many links, driven as a user drives it on a real encrypted file:
// opening it, then 30 scripted keystrokes with backspaces, each timed until its matches are painted.
// The floor of a keystroke is one pass of QString::contains over the folded names, prepared in
// advance. The longest stretch the window's thread spends without returning to the event loop
// tells whether typing ever blocks; memory is taken in fresh child processes.
#include "app/Startup.h"
#include "app/frmMain.h"
#include "bench/Bench.h"
#include "bench/Names.h"
#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "forms/find/frmFindSite.h"
#include "search/Fold.h"
#include "testkit/TestKit.h"
#include "windowkit/Forms.h"
#include "windowkit/Lifecycle.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <algorithm>
#include <ctime>
#include <vector>

namespace bench {

namespace {

// "news", two backspaces, "twork blog", four backspaces, "cafe", six backspaces: narrowing and widening.
const QString Script = QStringLiteral("news\b\btwork blog\b\b\b\bcafe\b\b\b\b\b\b");

double worst(const std::vector<double>& values)
{
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

bool isFindList(QObject* watched)
{
    QObject* list = watched->parent();
    if (!list || list->objectName() != QLatin1String("lstMatches"))
        return false;
    auto* widget = qobject_cast<QWidget*>(list);
    return widget && widget->window()->objectName() == QLatin1String("frmFindSite");
}

// Milliseconds of processor time this thread has used: the window's own work, whatever else the
// machine runs at the same time.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct FindRun {
    double open = -1;
    double openCpu = -1;
    std::vector<double> keys, keysCpu;
    double longestBlock = 0;
    QStringList problems;
};

// The program started on the file in the current links folder, its main window up.
frmMain* startProgram(QStringList& problems)
{
    app::start();
    frmMain* main = Forms::find<frmMain>();
    if (!main || kit::hasEnded()) {
        problems << QStringLiteral("the main window did not open");
        return nullptr;
    }
    if (!QTest::qWaitForWindowExposed(main))
        problems << QStringLiteral("the main window was never shown");
    QCoreApplication::processEvents();
    return main;
}

// Opens the window and types the script; each step timed until its matches are painted.
FindRun typeTheScript(frmMain* main, int linkCount)
{
    FindRun run;
    PaintWatch watch(isFindList);
    int before = watch.paints();
    QElapsedTimer timer;
    timer.start();
    double cpu = threadCpuMs();
    main->mnuFindSite->trigger();
    frmFindSite* find = Forms::find<frmFindSite>();
    if (!find || !watch.waitPainted(before)) {
        run.problems << QStringLiteral("the find window did not open and paint");
        return run;
    }
    run.open = msSince(timer);
    run.openCpu = threadCpuMs() - cpu;
    const QString all = QStringLiteral("%1 of %1 links").arg(linkCount);
    if (find->lblCount->text() != all)
        run.problems << QStringLiteral("opened with \"%1\", expected \"%2\"").arg(find->lblCount->text(), all);

    for (QChar key : Script) {
        before = watch.paints();
        timer.start();
        cpu = threadCpuMs();
        QElapsedTimer block;
        block.start();
        if (key == QLatin1Char('\b'))
            QTest::keyClick(find->txtFind, Qt::Key_Backspace);
        else
            QTest::keyClick(find->txtFind, key.toLatin1());
        run.longestBlock = std::max(run.longestBlock, msSince(block));
        while (find->searching() || watch.paints() == before) {
            block.start();
            QCoreApplication::processEvents();
            run.longestBlock = std::max(run.longestBlock, msSince(block));
            if (timer.elapsed() > 60000) {
                run.problems << QStringLiteral("a keystroke was never painted");
                return run;
            }
        }
        run.keys.push_back(msSince(timer));
        run.keysCpu.push_back(threadCpuMs() - cpu);
    }
    const QString last = find->lblCount->text();
    if (!last.endsWith(QStringLiteral(" of %1 links").arg(linkCount)) || last.startsWith(QLatin1String("0 ")))
        run.problems << QStringLiteral("the script ended with \"%1\"").arg(last);
    return run;
}

// One pass of QString::contains over the folded names per keystroke, for the same texts typed.
std::vector<double> floorKeys(const QStringList& folded, int& found)
{
    std::vector<double> keys;
    QString typed;
    for (QChar key : Script) {
        if (key == QLatin1Char('\b'))
            typed.chop(1);
        else
            typed.append(key);
        QElapsedTimer timer;
        timer.start();
        const QString query = search::fold(typed.trimmed());
        found = 0;
        for (const QString& name : folded)
            found += name.contains(query) ? 1 : 0;
        keys.push_back(msSince(timer));
    }
    return keys;
}

QString goal(double value, double ceiling, const QString& text, bool& allMet)
{
    return bench::goal(text, value >= 0 && value <= ceiling, allMet);
}

} // namespace

long findStartupRss(const QString& kind, const QString& folder, QString* problem)
{
    LinksDb::setFolder(folder);
    testkit::FakeInstanceGuard guard;
    testkit::ScriptedMessageBox boxes;
    QStringList problems;
    if (frmMain* main = startProgram(problems); main && kind == QLatin1String("find")) {
        const FindRun run = typeTheScript(main, LinksStore::count());
        problems << run.problems;
    }
    *problem = problems.join(QStringLiteral("; "));
    return residentKb();
}

int runFindTable(const QList<int>& sizes, int runs)
{
    QTextStream out(stdout);
    const QLocale english(QLocale::English);
    QStringList problems;
    bool allMet = true;
    QStringList rows;
    for (int n : sizes) {
        QTextStream(stderr) << "find, links " << n << ": writing the file\n";
        const QList<Link> links = realisticLinks(n);
        testkit::TempLinksDb pristine;
        pristine.setOther(1, QStringLiteral("No"));
        pristine.addLinks(links);
        QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tessary-bench-XXXXXX"));
        const QString folder = work.filePath(QStringLiteral("program"));
        const auto freshCopy = [&] { return copyLinksFile(pristine.path(), folder); };

        QStringList folded;
        folded.reserve(links.size());
        for (const Link& link : links)
            folded.append(search::fold(link.name));

        std::vector<double> open, openCpu, keyMedian, keyCpu, keyWorst, block, floorMedian, floorWorst;
        for (int r = 0; r < runs; ++r) {
            QTextStream(stderr) << "find, links " << n << ": run " << r + 1 << " of " << runs << "\n";
            freshCopy();
            testkit::resetApplication();
            LinksDb::setFolder(folder);
            testkit::FakeInstanceGuard guard;
            testkit::ScriptedMessageBox boxes;
            QStringList runProblems;
            if (frmMain* main = startProgram(runProblems)) {
                const FindRun run = typeTheScript(main, n);
                runProblems << run.problems;
                open.push_back(run.open);
                openCpu.push_back(run.openCpu);
                keyMedian.push_back(median(run.keys));
                keyCpu.push_back(median(run.keysCpu));
                keyWorst.push_back(worst(run.keys));
                block.push_back(run.longestBlock);
            }
            testkit::resetApplication();
            int floorFound = 0;
            const std::vector<double> f = floorKeys(folded, floorFound);
            if (floorFound == 0)
                runProblems << QStringLiteral("the floor found nothing for the last query");
            floorMedian.push_back(median(f));
            floorWorst.push_back(worst(f));
            for (const QString& p : runProblems)
                problems << QStringLiteral("%1 links: %2").arg(n).arg(p);
        }
        std::vector<double> without, with;
        for (int r = 0; r < runs; ++r) {
            freshCopy();
            without.push_back(
                double(childRss(QStringLiteral("--find-rss"), QStringLiteral("program"), folder, problems)) /
                1024.0);
            freshCopy();
            with.push_back(
                double(childRss(QStringLiteral("--find-rss"), QStringLiteral("find"), folder, problems)) / 1024.0);
        }

        const QString links_ = english.toString(n);
        const bool hundred = n == 100000;
        const bool million = n == 1000000;
        const double km = median(keyMedian), kw = median(keyWorst), fm = median(floorMedian),
                     fw = median(floorWorst);
        rows << QStringLiteral("| %1 | open the window (all links listed, painted) | %2 |  |  | %3 |")
                    .arg(links_, ms(median(open)),
                         hundred ? goal(median(open), 100, QStringLiteral("<= 100 ms"), allMet) : QString());
        rows << QStringLiteral("| %1 | open the window: processor time of the window's thread | %2 |  |  |  |")
                    .arg(links_, ms(median(openCpu)));
        rows << QStringLiteral("| %1 | one keystroke, median of 30 | %2 | %3 | %4 | %5 |")
                    .arg(links_, ms(km), ms(fm), ratio(km, fm),
                         hundred ? goal(km, 16, QStringLiteral("<= 16 ms"), allMet) : QString());
        rows << QStringLiteral("| %1 | one keystroke: processor time, median of 30 | %2 |  |  |  |")
                    .arg(links_, ms(median(keyCpu)));
        rows << QStringLiteral("| %1 | one keystroke, worst of 30 | %2 | %3 | %4 | %5 |")
                    .arg(links_, ms(kw), ms(fw), ratio(kw, fw),
                         hundred ? goal(kw, 50, QStringLiteral("<= 50 ms"), allMet) : QString());
        rows << QStringLiteral("| %1 | longest the window is blocked while typing | %2 |  |  | %3 |")
                    .arg(links_, ms(worst(block)),
                         million ? goal(worst(block), 100, QStringLiteral("<= 100 ms"), allMet) : QString());
        const double mw = median(with), mo = median(without);
        const QString memGoal =
            hundred ? bench::goal(QStringLiteral("<= 1.2x"), mw > 0 && mo > 0 && mw / mo <= 1.2, allMet) : QString();
        rows << QStringLiteral(
                    "| %1 | resident memory, window open after the script (floor: without it) | %2 MB | "
                    "%3 MB | %4 | %5 |")
                    .arg(links_, QString::number(mw, 'f', 1), QString::number(mo, 'f', 1), ratio(mw, mo), memGoal);
    }

    out << "\nFind Site Link: medians of " << runs
        << " runs; keystroke floor = one pass of QString::contains over the folded names\n\n";
    out << "| links | measure | program | floor | program/floor | goal |\n|---:|---|---:|---:|---:|---|\n";
    for (const QString& row : std::as_const(rows))
        out << row << "\n";
    return endTable(out, problems, allMet, "find");
}

} // namespace bench
