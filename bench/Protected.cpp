// Protection's cost at 100,000 links: the same commands on the same links, sealed and plain, the
// log-in up to the full list, and the three steps that convert every link.
#include "bench/Bench.h"
#include "bench/Names.h"

#include "data/LinksDb.h"
#include "data/LinksStore.h"
#include "data/Protection.h"
#include "testkit/TestKit.h"
#include "vault/Vault.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>

namespace bench {

namespace {

constexpr int kLinks = 100000;

template <typename F> double timed(F&& body)
{
    QElapsedTimer timer;
    timer.start();
    body();
    return msSince(timer);
}

} // namespace

int runProtectedTable(int runs)
{
    QTextStream out(stdout);
    QStringList problems;
    const LogIn credentials{QStringLiteral("bench user"), QStringLiteral("pw 123")};

    testkit::TempLinksDb plain;
    plain.setOther(1, QStringLiteral("No"));
    plain.addLinks(realisticLinks(kLinks));
    // The same links sealed, as switching protection on leaves them.
    testkit::TempLinksDb sealed;
    copyLinksFile(plain.path(), sealed.folder());
    LinksDb::setFolder(sealed.folder());
    Protection::protect(credentials.user, credentials.password);
    Protection::forgetKey();

    QTemporaryDir work(QDir::tempPath() + QStringLiteral("/tessary-bench-XXXXXX"));
    const QString folder = work.filePath(QStringLiteral("run"));
    std::array<std::vector<double>, MeasureCount> off, on;
    std::vector<double> derive, hash, switchOn, renew, switchOff;
    for (int run = 0; run < runs; ++run) {
        QTextStream(stderr) << "protected: run " << run + 1 << " of " << runs << "\n";
        copyLinksFile(plain.path(), folder);
        const Outcome o = runProgram(folder, kLinks);
        copyLinksFile(sealed.path(), folder);
        const Outcome p = runProgram(folder, kLinks, &credentials);
        for (int m = 0; m < MeasureCount; ++m) {
            off[m].push_back(o.ms[m]);
            on[m].push_back(p.ms[m]);
        }
        for (const QString& problem : o.problems + p.problems)
            problems << problem;

        const QByteArray salt(16, 's');
        derive.push_back(timed([&] { vault::Key::derive(credentials.user, credentials.password, salt); }));
        hash.push_back(timed([&] { vault::hashPassword(credentials.password); }));

        copyLinksFile(plain.path(), folder);
        LinksDb::setFolder(folder);
        {
            const LinksDb::KeepOpen keep;
            switchOn.push_back(timed([&] { Protection::protect(credentials.user, credentials.password); }));
            renew.push_back(
                timed([&] { Protection::protect(QStringLiteral("new user"), QStringLiteral("new pw")); }));
            switchOff.push_back(timed([&] { Protection::unprotect(); }));
        }
        if (LinksStore::count() != kLinks ||
            LinksStore::all().constFirst().name != plain.links().constFirst().name)
            problems << QStringLiteral("the conversions did not give every link back");
        Protection::forgetKey();
    }

    const vault::Limits limits = vault::derivationLimits();
    out << "\n## Protection at 100,000 links\n\nMedians of " << runs
        << " runs. Key derivation and password hash: Argon2id, libsodium's interactive limits (" << limits.ops
        << " passes over " << limits.memory / (1024 * 1024) << " MiB): derivation " << ms(median(derive))
        << ", hash " << ms(median(hash)) << ".\n\n";
    out << "| measure | unprotected | protected | protected/unprotected | goal |\n|---|---:|---:|---:|---|\n";
    bool allMet = true;
    for (int m = 0; m < MeasureCount; ++m) {
        const double a = median(off[m]);
        const double b = median(on[m]);
        QString goal;
        bool met = true;
        if (m == StartUp) {
            met = b > 0 && b <= 1000;
            goal = QStringLiteral("log-in Ok to the full list <= 1 s");
        } else if (m != DeleteAll) {
            met = a > 0 && b > 0 && b / a <= 1.5;
            goal = QStringLiteral("<= 1.5x");
        }
        out << "| " << (m == StartUp ? "start-up (protected: from the log-in's Ok)" : measureName(m)) << " | "
            << ms(a) << " | " << ms(b) << " | " << (a > 0 ? ratio(b, a) : QStringLiteral("n/a")) << " | "
            << bench::goal(goal, met, allMet) << " |\n";
    }
    for (const auto& [name, values] :
         {std::pair{"switch protection on", &switchOn}, std::pair{"new credentials", &renew},
          std::pair{"switch protection off", &switchOff}}) {
        const double v = median(*values);
        out << "| " << name << " (every link converted) |  | " << ms(v) << " |  | "
            << goal(QStringLiteral("<= 3 s"), v > 0 && v <= 3000, allMet) << " |\n";
    }
    return endTable(out, problems, allMet);
}

} // namespace bench
