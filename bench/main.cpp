// Speed and memory of the program's list at many links, each figure beside its floor.
//
//   tessary_bench [--million] [--runs R] [--sizes 1000,10000] [--bookmarks] [--find] [--protected]
//                 [--backups]                    (--bookmarks, --find, --protected, --backups: those rows alone)
//   tessary_bench --linkcheck                    (the link check rows, alone: they take minutes)
//   tessary_bench --rss program|floor FOLDER     (a fresh child process per memory figure)
//   tessary_bench --once program|floor N         (one run, for a profiler)
//   tessary_bench --bookmark-peak read|floor FILE (a fresh child process per memory figure)
//   tessary_bench --hostile                      (the hostile bookmark files alone)
//   tessary_bench --bookmark-hostile FILE        (reads one of them in a fresh child process)
//   tessary_bench --bookmark-cancel FILE         (imports one and cancels it midway, in a child)
//   tessary_bench --find-rss program|find FOLDER  (a fresh child process per memory figure)
//   tessary_bench --link-hosts N MS              (the link check's hosts, a child process)
//   tessary_bench --linkcheck-run FOLDER         (the program checking links, a child process)
#include "bench/Bench.h"
#include "bench/Names.h"
#include "testkit/TestKit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

namespace bench {

const char* measureName(int measure)
{
    static const char* names[] = {"start-up",    "select an entry", "add (Ok)",
                                  "save (Save)", "delete selected", "delete all (with its backup)"};
    return names[measure];
}

PaintWatch::PaintWatch(std::function<bool(QObject*)> isTheList) : m_isTheList(std::move(isTheList))
{
    qApp->installEventFilter(this);
}

PaintWatch::~PaintWatch()
{
    qApp->removeEventFilter(this);
}

bool PaintWatch::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && m_isTheList(watched))
        ++m_paints;
    return false;
}

bool PaintWatch::waitPainted(int before, int timeoutMs) const
{
    QElapsedTimer timer;
    timer.start();
    while (m_paints == before) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    return true;
}

long statusKb(const char* field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double median(std::vector<double> values)
{
    values.erase(std::remove_if(values.begin(), values.end(), [](double v) { return v < 0; }), values.end());
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

QString ms(double v)
{
    if (v < 0)
        return QStringLiteral("n/a");
    return QString::number(v, 'f', v < 10 ? 2 : 1) + QStringLiteral(" ms");
}

bool copyLinksFile(const QString& from, const QString& folder)
{
    QDir().mkpath(folder);
    const QString to = folder + QStringLiteral("/links.mdb");
    QFile::remove(to);
    return QFile::copy(from, to) && QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner);
}

long childRss(const QString& mode, const QString& kind, const QString& folder, QStringList& problems)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {mode, kind, folder});
    if (!child.waitForFinished(600000) || child.exitCode() != 0) {
        problems << QStringLiteral("%1 memory child failed: %2")
                        .arg(kind, QString::fromLocal8Bit(child.readAllStandardError()));
        return -1;
    }
    const QString reply = QString::fromLocal8Bit(child.readAllStandardOutput()).trimmed();
    long kb = -1;
    for (const QString& line : reply.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("rss_kb=")))
            kb = line.mid(7).toLong();
        if (line.startsWith(QLatin1String("problem=")))
            problems << kind + QStringLiteral(" memory child: ") + line.mid(8);
    }
    if (kb < 0)
        problems << QStringLiteral("%1 memory child said: %2").arg(kind, reply);
    return kb;
}

int endTable(QTextStream& out, const QStringList& problems, bool allMet, const char* what)
{
    for (const QString& problem : problems)
        out << "\nPROBLEM: " << problem << "\n";
    const QString goals = what ? QStringLiteral("%1 goal").arg(QLatin1String(what)) : QStringLiteral("goal");
    out << "\n"
        << (problems.isEmpty() ? (allMet ? QStringLiteral("Every %1 met.") : QStringLiteral("Some %1s missed.")).arg(goals)
                               : QStringLiteral("Problems found."))
        << "\n";
    out.flush();
    return problems.isEmpty() ? 0 : 1;
}

QString ratio(double program, double floor)
{
    if (program < 0 || floor <= 0)
        return QStringLiteral("n/a");
    return QString::number(program / floor, 'f', 2) + QLatin1Char('x');
}

QString goal(const QString& text, bool met, bool& allMet)
{
    allMet = allMet && met;
    if (text.isEmpty())
        return {};
    return text + (met ? QStringLiteral("  met") : QStringLiteral("  MISSED"));
}

long residentKb()
{
    return statusKb("VmRSS");
}

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

struct Row {
    int links;
    Times program;
    Times floor;
    double programMb, floorMb;
};

// The goals at 100,000 links: a ratio to the floor, or a ceiling in milliseconds.
struct Goal {
    double maxRatio;
    double maxMs;
};
Goal goalFor(int measure)
{
    switch (measure) {
    case Select:
        return {-1, 2};
    case DeleteAll:
        return {-1, 300};
    default:
        return {1.5, -1};
    }
}

QString verdict(int measure, double program, double floor, bool& allMet)
{
    const Goal goal = goalFor(measure);
    if (program < 0)
        return QStringLiteral("not measured");
    bool met = true;
    QString text;
    if (goal.maxRatio > 0) {
        met = floor > 0 && program / floor <= goal.maxRatio;
        text = QStringLiteral("<= %1x").arg(goal.maxRatio);
    } else {
        met = program <= goal.maxMs;
        text = QStringLiteral("< %1 ms").arg(goal.maxMs);
    }
    return bench::goal(text, met, allMet);
}

int runTable(const QList<int>& sizes, int runs)
{
    const QLocale english(QLocale::English);
    QStringList problems;
    QList<Row> rows;
    for (int n : sizes) {
        QTextStream(stderr) << "links " << n << ": writing the file\n";
        Row row{n, {}, {}, -1, -1};
        testkit::TempLinksDb pristine;
        pristine.setOther(1, QStringLiteral("No"));
        pristine.addLinks(realisticLinks(n));
        QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tessary-bench-XXXXXX"));
        const QString programFolder = work.filePath(QStringLiteral("program"));
        const QString floorFolder = work.filePath(QStringLiteral("floor"));

        std::array<std::vector<double>, MeasureCount> p, f;
        for (int run = 0; run < runs; ++run) {
            QTextStream(stderr) << "links " << n << ": run " << run + 1 << " of " << runs << "\n";
            // Program and floor take turns, each on a fresh copy of the same file.
            copyLinksFile(pristine.path(), programFolder);
            Outcome po = runProgram(programFolder, n);
            copyLinksFile(pristine.path(), floorFolder);
            Outcome fo = runFloor(floorFolder, n);
            for (int m = 0; m < MeasureCount; ++m) {
                p[m].push_back(po.ms[m]);
                f[m].push_back(fo.ms[m]);
            }
            for (const QString& problem : po.problems + fo.problems)
                problems << QStringLiteral("%1 links: %2").arg(n).arg(problem);
        }
        for (int m = 0; m < MeasureCount; ++m) {
            row.program[m] = median(p[m]);
            row.floor[m] = median(f[m]);
        }

        std::vector<double> pm, fm;
        for (int run = 0; run < runs; ++run) {
            copyLinksFile(pristine.path(), programFolder);
            pm.push_back(
                double(childRss(QStringLiteral("--rss"), QStringLiteral("program"), programFolder, problems)) /
                1024.0);
            copyLinksFile(pristine.path(), floorFolder);
            fm.push_back(
                double(childRss(QStringLiteral("--rss"), QStringLiteral("floor"), floorFolder, problems)) /
                1024.0);
        }
        row.programMb = median(pm);
        row.floorMb = median(fm);
        rows << row;
    }

    bool allMet = true;
    out() << "Medians of " << runs
          << " runs; floor = one scan + collator sort + QListView/QStringListModel fill "
             "(plus the same single write)\n\n";
    out() << "| links | measure | program | floor | program/floor | goal at 100,000 |\n";
    out() << "|---:|---|---:|---:|---:|---|\n";
    for (const Row& row : rows) {
        const QString links = english.toString(row.links);
        for (int m = 0; m < MeasureCount; ++m) {
            out() << "| " << links << " | " << measureName(m) << " | " << ms(row.program[m]) << " | "
                  << ms(row.floor[m]) << " | " << ratio(row.program[m], row.floor[m]) << " | "
                  << (row.links == 100000 ? verdict(m, row.program[m], row.floor[m], allMet) : QString())
                  << " |\n";
        }
        const double memRatio = row.floorMb > 0 ? row.programMb / row.floorMb : -1;
        const QString memGoal =
            row.links == 100000 ? goal(QStringLiteral("<= 1.5x"), memRatio > 0 && memRatio <= 1.5, allMet) : QString();
        out() << "| " << links << " | resident memory after start-up | " << QString::number(row.programMb, 'f', 1)
              << " MB | " << QString::number(row.floorMb, 'f', 1) << " MB | " << ratio(row.programMb, row.floorMb)
              << " | " << memGoal << " |\n";
    }

    // Growth from 10,000 to 100,000 links. Linear work grows 10x; one sort of the list grows
    // 10 x log(100,000) / log(10,000) = 12.5x; a step per link over all links grows 100x.
    const auto find = [&rows](int n) -> const Row* {
        for (const Row& r : rows)
            if (r.links == n)
                return &r;
        return nullptr;
    };
    if (const Row* a = find(10000), *b = find(100000); a && b) {
        out() << "\nGrowth from 10,000 to 100,000 links (linear is 10x, n log n 12.5x, quadratic 100x):\n\n";
        out() << "| measure | 10,000 | 100,000 | growth | |\n|---|---:|---:|---:|---|\n";
        for (int m = 0; m <= MeasureCount; ++m) {
            const bool isMs = m < MeasureCount;
            const double x = isMs ? a->program[m] : a->programMb;
            const double y = isMs ? b->program[m] : b->programMb;
            const QString name = isMs ? QLatin1String(measureName(m)) : QStringLiteral("resident memory");
            QString growth = QStringLiteral("n/a"), verdict;
            if (x > 0 && y > 0) {
                growth = QString::number(y / x, 'f', 2) + QLatin1Char('x');
                const bool ok = y / x <= 12.5;
                allMet = allMet && ok;
                verdict = ok ? QStringLiteral("met") : QStringLiteral("MISSED: worse than n log n");
            }
            const auto show = [&](double v) {
                return isMs ? ms(v) : QString::number(v, 'f', 1) + QStringLiteral(" MB");
            };
            out() << "| " << name << " | " << show(x) << " | " << show(y) << " | " << growth << " | " << verdict
                  << " |\n";
        }
    }
    return endTable(out(), problems, allMet);
}

} // namespace

} // namespace bench

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);

    if (args.value(0) == QLatin1String("--rss") && args.size() == 3) {
        QString problem;
        const long kb = args[1] == QLatin1String("floor") ? bench::floorStartupRss(args[2], &problem)
                                                          : bench::programStartupRss(args[2], &problem);
        if (!problem.isEmpty())
            std::printf("problem=%s\n", qPrintable(problem));
        std::printf("rss_kb=%ld\n", kb);
        std::fflush(stdout);
        std::_Exit(0); // the figure is taken; skip tearing down a large list
    }
    if (args.value(0) == QLatin1String("--find-rss") && args.size() == 3) {
        QString problem;
        const long kb = bench::findStartupRss(args[1], args[2], &problem);
        if (!problem.isEmpty())
            std::printf("problem=%s\n", qPrintable(problem));
        std::printf("rss_kb=%ld\n", kb);
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (args.value(0) == QLatin1String("--bookmark-peak") && args.size() == 3) {
        std::printf("peak_kb=%ld\n", bench::bookmarkPeakKb(args[1], args[2]));
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (args.value(0) == QLatin1String("--bookmark-hostile") && args.size() == 2) {
        bench::hostileRead(args[1]);
        std::fflush(stdout);
        std::_Exit(0);
    }
    if (args.value(0) == QLatin1String("--bookmark-cancel") && args.size() == 2) {
        bench::hostileCancel(args[1]);
        std::fflush(stdout);
        std::_Exit(0); // the cancelled reading may still be parsing beside it
    }
    if (args.value(0) == QLatin1String("--hostile") && args.size() == 1)
        return bench::runHostileTable();
    if (args.value(0) == QLatin1String("--link-hosts") && args.size() == 3)
        return bench::serveLinkHosts(args[1].toInt(), args[2].toInt());
    if (args.value(0) == QLatin1String("--linkcheck-run") && args.size() == 2)
        return bench::runLinkCheck(args[1]);
    if (args.value(0) == QLatin1String("--once") && args.size() == 3) {
        const int n = args[2].toInt();
        testkit::TempLinksDb db;
        db.setOther(1, QStringLiteral("No"));
        db.addLinks(bench::realisticLinks(n));
        QTemporaryDir work;
        QFile::copy(db.path(), work.filePath(QStringLiteral("links.mdb")));
        const bench::Outcome o = args[1] == QLatin1String("floor") ? bench::runFloor(work.path(), n)
                                                                   : bench::runProgram(work.path(), n);
        for (int m = 0; m < bench::MeasureCount; ++m)
            std::printf("%-18s %10.2f ms\n", bench::measureName(m), o.ms[m]);
        for (const QString& p : o.problems)
            std::printf("PROBLEM: %s\n", qPrintable(p));
        return o.problems.isEmpty() ? 0 : 1;
    }

    QList<int> sizes{1000, 10000, 100000};
    int runs = 5;
    bool bookmarksOnly = false;
    bool findOnly = false;
    bool protectedOnly = false;
    bool linkCheckOnly = false;
    bool backupsOnly = false;
    bool million = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--bookmarks")) {
            bookmarksOnly = true;
        } else if (args[i] == QLatin1String("--find")) {
            findOnly = true;
        } else if (args[i] == QLatin1String("--protected")) {
            protectedOnly = true;
        } else if (args[i] == QLatin1String("--linkcheck")) {
            linkCheckOnly = true;
        } else if (args[i] == QLatin1String("--backups")) {
            backupsOnly = true;
        } else if (args[i] == QLatin1String("--million")) {
            sizes << 1000000;
            million = true;
        } else if (args[i] == QLatin1String("--runs") && i + 1 < args.size()) {
            runs = std::max(1, args[++i].toInt());
        } else if (args[i] == QLatin1String("--sizes") && i + 1 < args.size()) {
            sizes.clear();
            for (const QString& s : args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts))
                sizes << s.toInt();
        } else {
            std::fprintf(stderr, "usage: tessary_bench [--million] [--runs R] [--sizes N,N...] [--bookmarks] "
                                 "[--find] [--protected] [--backups] | --hostile | --linkcheck\n");
            return 2;
        }
    }
    if (linkCheckOnly)
        return bench::runLinkCheckTable();
    // The find window's goals are set at 100,000 links (and its typing at 1,000,000).
    QList<int> findSizes{100000};
    if (million)
        findSizes << 1000000;
    if (findOnly)
        return bench::runFindTable(findSizes, runs);
    if (bookmarksOnly)
        return bench::runBookmarkTable(runs) | bench::runHostileTable();
    if (protectedOnly)
        return bench::runProtectedTable(runs);
    if (backupsOnly)
        return bench::runBackupTable(runs);
    const int table = bench::runTable(sizes, runs);
    const int bookmarks = bench::runBookmarkTable(runs) | bench::runHostileTable();
    const int locked = bench::runProtectedTable(runs) | bench::runBackupTable(runs);
    return bench::runFindTable(findSizes, runs) | bookmarks | locked | table;
}
