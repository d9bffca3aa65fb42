// The link check against real HTTP servers on loopback addresses, one behaviour per address:
// every kind of answer judged as a user would want it judged, Retry-After and the second try at
// the end honoured, and never more requests at once than the politeness limits allow.

#include "linkcheck/LinkChecker.h"
#include "testkit/ScriptedHttpServer.h"
#include "testkit/TestKit.h"

#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

using namespace linkcheck;
using testkit::Reply;
using testkit::ScriptedHttpServer;
using testkit::SeenRequest;

namespace {

struct Run {
    QHash<QString, Result> byName;
    QStringList order; // names in the order they were judged
    bool finished = false;
};

// Checks the links and waits until every one is judged.
std::unique_ptr<Run> check(const QList<Link>& links, const Settings& settings = {}, int waitMs = 60000)
{
    auto run = std::make_unique<Run>();
    LinkChecker checker(links, settings);
    QObject::connect(&checker, &LinkChecker::judged, [&run](const Result& r) {
        if (run->byName.contains(r.link.name))
            QTest::qFail(qPrintable(QStringLiteral("judged twice: ") + r.link.name), __FILE__, __LINE__);
        run->byName.insert(r.link.name, r);
        run->order.append(r.link.name);
    });
    // A loop of its own rather than QTest::qWaitFor, which sleeps between its turns: the servers
    // and the check share this thread, and every answer would wait for those sleeps.
    QEventLoop loop;
    QObject::connect(&checker, &LinkChecker::finished, &loop, [&run, &loop] {
        run->finished = true;
        loop.quit();
    });
    QTimer::singleShot(waitMs, &loop, &QEventLoop::quit);
    checker.start();
    if (!run->finished)
        loop.exec();
    if (!run->finished)
        QTest::qFail("the check did not finish in time", __FILE__, __LINE__);
    return run;
}

// A browser, by the signs bot filters look for.
bool looksLikeABrowser(const SeenRequest& request)
{
    const QByteArray agent = request.headers.value("user-agent");
    return agent.startsWith("Mozilla/5.0 (") && (agent.contains("Firefox/") || agent.contains("Chrome/")) &&
           !agent.toLower().contains("bot") && request.headers.value("accept").contains("text/html") &&
           request.headers.contains("accept-language");
}

QByteArray methods(const QList<SeenRequest>& requests)
{
    QByteArrayList names;
    for (const SeenRequest& r : requests)
        names << r.method;
    return names.join(' ');
}

} // namespace

class tst_linkcheck : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void judgesEveryBehaviour();
    void neverMoreThanTwoAtOnceToOneHostNorSixteenInAll();
    void everyLinkJudgedOnceWhateverTheListLength_data();
    void everyLinkJudgedOnceWhateverTheListLength();
};

void tst_linkcheck::judgesEveryBehaviour()
{
    struct Row {
        QString name;
        QString address;
        Verdict verdict;
        QString detail;  // the detail contains this
        QString offered; // exactly, for a move
        ScriptedHttpServer* server = nullptr;
        QByteArray methods; // the requests the server saw, when given
    };
    std::vector<std::unique_ptr<ScriptedHttpServer>> servers;
    QList<Row> rows;
    // Each behaviour on its own loopback address: 127.0.0.10, 127.0.0.11, ...
    const auto host = [&servers]() {
        servers.push_back(std::make_unique<ScriptedHttpServer>(
            QHostAddress(QStringLiteral("127.0.0.%1").arg(10 + servers.size()))));
        return servers.back().get();
    };
    const auto add = [&rows](const char* name, const QString& address, Verdict verdict, const QString& detail,
                             ScriptedHttpServer* server = nullptr, const QByteArray& seen = {},
                             const QString& offered = {}) {
        rows.append(Row{QString::fromUtf8(name), address, verdict, detail, offered, server, seen});
    };
    const auto ok = Reply{};

    ScriptedHttpServer* s = host();
    s->on("/", [ok](const SeenRequest&, int) { return ok; });
    add("200", s->base() + "/", Verdict::Fine, "HTTP 200", s, "HEAD");

    s = host();
    s->on("/p", [](const SeenRequest& r, int) { return Reply{r.method == "HEAD" ? 405 : 200}; });
    add("HEAD 405 then GET 200", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD GET");

    // A megabyte in 320 ms, well within the time-out: only the first 64 KiB of it are read.
    s = host();
    s->on("/p", [](const SeenRequest& r, int) {
        return r.method == "HEAD" ? Reply{405} : Reply::stream(1024 * 1024, 16 * 1024, 5);
    });
    add("HEAD 405 then GET of a long page", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD GET");
    const ScriptedHttpServer* longPage = s;

    s = host();
    s->on("/p", [](const SeenRequest& r, int) { return Reply{r.method == "HEAD" ? 404 : 200}; });
    add("HEAD 404 but GET 200", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD GET");

    s = host();
    s->on("/p", [](const SeenRequest& r, int) { return Reply{looksLikeABrowser(r) ? 200 : 403}; });
    add("403 to a robot only", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD");

    s = host();
    s->sequence("/p", {Reply{429, {{"Retry-After", "1"}}}, ok});
    add("429 with Retry-After", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD HEAD");
    ScriptedHttpServer* waited = s;

    s = host();
    s->sequence("/p", {Reply{503}, Reply{503}, ok});
    add("503 twice then 200", s->base() + "/p", Verdict::Fine, "HTTP 200", s, "HEAD GET HEAD");

    s = host();
    s->sequence("/old", {Reply::redirect(301, s->base().toUtf8() + "/new")});
    s->sequence("/new", {ok});
    add("301 to 200", s->base() + "/old", Verdict::Moved, "HTTP 301 to " + s->base() + "/new", s, "HEAD HEAD",
        s->base() + "/new");

    s = host();
    for (int i = 0; i < 5; ++i)
        s->sequence(QStringLiteral("/c%1").arg(i), {Reply::redirect(301, "/c" + QByteArray::number(i + 1))});
    s->sequence("/c5", {ok});
    add("a 5-hop chain", s->base() + "/c0", Verdict::Moved, "HTTP 301 to " + s->base() + "/c5", s,
        "HEAD HEAD HEAD HEAD HEAD HEAD", s->base() + "/c5");

    s = host();
    s->sequence("/a", {Reply::redirect(302, "/b")});
    s->sequence("/b", {Reply::redirect(302, "/a")});
    add("a loop", s->base() + "/a", Verdict::Loop, "HTTP 302 back to " + s->base() + "/a", s);

    s = host();
    s->sequence("/page", {Reply::redirect(302, "/")});
    s->on("/", [ok](const SeenRequest&, int) { return ok; });
    add("302 to the home page", s->base() + "/page", Verdict::HomePage, "HTTP 302 to " + s->base() + "/", s);

    s = host();
    add("404", s->base() + "/missing", Verdict::Gone, "HTTP 404", s, "HEAD GET");

    s = host();
    s->sequence("/removed", {Reply{410}});
    add("410", s->base() + "/removed", Verdict::Gone, "HTTP 410", s, "HEAD GET");

    add("a refused port", QStringLiteral("http://127.0.0.1:%1/").arg(testkit::refusedPort()), Verdict::Unreachable,
        "refused");

    s = host();
    s->sequence("/p", {Reply::silence()});
    add("a server that never answers", s->base() + "/p", Verdict::Unreachable, "No answer within 0.5 s", s,
        "HEAD GET HEAD GET");

    add("a name that cannot resolve", "http://no-such-site.invalid/page", Verdict::Gone,
        "the name no-such-site.invalid does not exist");
    add("a mailto: link", "mailto:someone@example.com", Verdict::NotChecked, "not a web address");
    add("None", "None", Verdict::NotChecked, "not a web address");

    s = host();
    for (int i = 0; i < 11; ++i)
        s->sequence(QStringLiteral("/r%1").arg(i), {Reply::redirect(307, "/r" + QByteArray::number(i + 1))});
    add("11 redirects", s->base() + "/r0", Verdict::Loop, "more than 10 redirects", s);

    s = host();
    s->sequence("/p", {Reply{429, {{"Retry-After", "3600"}}}, ok});
    add("429 asking for an hour", s->base() + "/p", Verdict::Blocked, "the site asks to wait 3600 s", s, "HEAD");

    s = host();
    s->sequence("/p", {Reply{500}});
    add("500 for good", s->base() + "/p", Verdict::ServerTrouble, "HTTP 500", s, "HEAD GET HEAD GET");

    s = host();
    s->sequence("/p", {Reply{401}});
    add("401", s->base() + "/p", Verdict::Blocked, "HTTP 401", s, "HEAD");

    s = host();
    s->sequence("/dir/old", {Reply::redirect(308, "new")});
    s->sequence("/dir/new", {ok});
    add("a relative Location", s->base() + "/dir/old", Verdict::Moved, "HTTP 308 to " + s->base() + "/dir/new", s,
        {}, s->base() + "/dir/new");

    // A site that sets a cookie and sends the browser back where it came from is no loop.
    s = host();
    s->on("/wall", [](const SeenRequest& r, int) {
        if (r.headers.value("cookie").contains("seen=1"))
            return Reply{};
        return Reply{302, {{"Set-Cookie", "seen=1; Path=/"}, {"Location", "/wall"}}};
    });
    add("a cookie wall", s->base() + "/wall", Verdict::Fine, "HTTP 200", s, "HEAD HEAD");

    for (const auto& server : servers)
        QVERIFY(server->isListening());
    QList<Link> links;
    for (const Row& row : std::as_const(rows))
        links.append(Link{row.name, row.address, links.size() + 1});
    Settings settings;
    settings.timeoutMs = 500;
    const std::unique_ptr<Run> run = check(links, settings);
    QVERIFY(run->finished);

    QStringList wrong;
    for (const Row& row : std::as_const(rows)) {
        const Result r = run->byName.value(row.name);
        if (r.verdict != row.verdict || !r.detail.contains(row.detail) || r.offered.toString() != row.offered)
            wrong << QStringLiteral("%1: %2 \"%3\" offering \"%4\"")
                         .arg(row.name, verdictText(r.verdict), r.detail, r.offered.toString());
        if (row.server && !row.methods.isEmpty() && methods(row.server->requests) != row.methods)
            wrong << QStringLiteral("%1: the server saw %2").arg(row.name, methods(row.server->requests));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(QStringLiteral("\n"))));
    QCOMPARE(longPage->hungUp, QStringList{QStringLiteral("/p")});

    // No request before the wait asked for ended.
    QCOMPARE(waited->requests.size(), 2);
    QVERIFY2(waited->requests[1].atMs - waited->requests[0].atMs >= 1000,
             qPrintable(QString::number(waited->requests[1].atMs - waited->requests[0].atMs)));
    // The second tries come after every link that needed none was judged.
    const qsizetype flaky = run->order.indexOf(QStringLiteral("503 twice then 200"));
    for (const char* once : {"200", "404", "a 5-hop chain", "a mailto: link", "a loop"})
        QVERIFY2(run->order.indexOf(QLatin1String(once)) < flaky, once);
    // Every request looked like a browser's.
    for (const auto& server : servers) {
        for (const SeenRequest& request : server->requests)
            QVERIFY2(looksLikeABrowser(request), request.headers.value("user-agent").constData());
    }
}

void tst_linkcheck::neverMoreThanTwoAtOnceToOneHostNorSixteenInAll()
{
    auto all = std::make_shared<testkit::ConnectionGauge>();
    std::vector<std::unique_ptr<ScriptedHttpServer>> servers;
    QList<Link> links;
    for (int h = 0; h < 12; ++h) {
        auto server = std::make_unique<ScriptedHttpServer>(QHostAddress(QStringLiteral("127.0.1.%1").arg(h + 1)));
        QVERIFY(server->isListening());
        server->countInto(all);
        // Slow answers, and GETs after the HEADs of missing pages, keep every slot busy.
        server->otherwise([](const SeenRequest& r, int) {
            Reply reply{r.path.endsWith(QLatin1String("/gone")) ? 404 : 200};
            reply.delayMs = 60;
            return reply;
        });
        // Two busy hosts, where only the limit per host holds the check back once the others are done.
        for (int i = 0, n = h < 2 ? 20 : 2; i < n; ++i)
            links.append(
                Link{QStringLiteral("h%1-%2").arg(h).arg(i),
                     server->base() + (i % 3 == 0 ? QStringLiteral("/%1/gone") : QStringLiteral("/%1")).arg(i),
                     links.size() + 1});
        servers.push_back(std::move(server));
    }
    const std::unique_ptr<Run> run = check(links);
    QVERIFY(run->finished);
    QCOMPARE(run->byName.size(), links.size());
    int busiest = 0;
    for (const auto& server : servers) {
        QVERIFY2(server->peakConnections() <= 2, qPrintable(server->base()));
        busiest = std::max(busiest, server->peakConnections());
    }
    // The limits were reached, so they were what held the check back.
    QCOMPARE(busiest, 2);
    QCOMPARE(all->peak, 16);
}

void tst_linkcheck::everyLinkJudgedOnceWhateverTheListLength_data()
{
    QTest::addColumn<int>("web");   // links on the local server
    QTest::addColumn<int>("other"); // links that are not web addresses
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("nothing to contact") << 0 << 3;
    QTest::newRow("one") << 1 << 0;
    // Longer than the slice handed out on one turn of the event loop, and mixed.
    QTest::newRow("many") << 700 << 900;
}

void tst_linkcheck::everyLinkJudgedOnceWhateverTheListLength()
{
    QFETCH(int, web);
    QFETCH(int, other);
    ScriptedHttpServer site;
    site.otherwise([](const SeenRequest&, int) { return Reply{}; });
    // The two kinds taken in turn, as a real list mixes them.
    QList<Link> links;
    for (int i = 0; i < std::max(web, other); ++i) {
        if (i < web)
            links.append(
                Link{QStringLiteral("web %1").arg(i), site.base() + QStringLiteral("/%1").arg(i), links.size() + 1});
        if (i < other)
            links.append(Link{QStringLiteral("other %1").arg(i),
                              i % 2 ? QStringLiteral("ftp://files.example/%1").arg(i) : QStringLiteral("None"),
                              links.size() + 1});
    }
    const std::unique_ptr<Run> run = check(links);
    QVERIFY(run->finished);
    QCOMPARE(run->order.size(), links.size());
    int fine = 0;
    for (const Result& r : std::as_const(run->byName))
        fine += r.verdict == Verdict::Fine;
    QCOMPARE(fine, web);
    QCOMPARE(site.requests.size(), web);
}

QTEST_MAIN(tst_linkcheck)
#include "tst_linkcheck.moc"
