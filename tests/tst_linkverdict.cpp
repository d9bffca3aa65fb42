// How a link is judged from what its check saw, without a network: the verdict of each kind of
// trail, when HEAD is asked again with GET, what a Retry-After asks for, which stored addresses are
// contacted, and which redirects keep the address.

#include "linkcheck/Verdict.h"

#include <QTest>
#include <QTimeZone>

using namespace linkcheck;
using Failure = platform::HttpAnswer::Failure;

Q_DECLARE_METATYPE(linkcheck::Trail)
Q_DECLARE_METATYPE(linkcheck::Verdict)

namespace {

platform::HttpAnswer status(int code)
{
    platform::HttpAnswer a;
    a.status = code;
    return a;
}

platform::HttpAnswer failure(Failure kind, const QString& error = QStringLiteral("it failed"))
{
    platform::HttpAnswer a;
    a.failure = kind;
    a.error = error;
    return a;
}

// A trail from `from` through redirects {status, to} ending in `last`.
Trail trail(const char* from, QList<std::pair<int, const char*>> hops, platform::HttpAnswer last,
            Trail::End end = Trail::End::Answer)
{
    Trail t;
    t.start = QUrl(QString::fromLatin1(from));
    for (const auto& [code, to] : hops)
        t.hops.append(Hop{code, QUrl(QString::fromLatin1(to))});
    t.last = std::move(last);
    t.end = end;
    return t;
}

} // namespace

class tst_linkverdict : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void judgesEachTrail_data();
    void judgesEachTrail();
    void headIsAskedAgainWithGetOnlyWhereGetCanTellMore();
    void readsRetryAfter();
    void contactsOnlyWebAddresses();
    void sameAddressInOtherClothes();
};

void tst_linkverdict::judgesEachTrail_data()
{
    QTest::addColumn<Trail>("trail");
    QTest::addColumn<Verdict>("verdict");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QString>("offered");
    QTest::addColumn<bool>("temporary"); // worth the second try at the end

    const char* page = "http://site.example/page";
    auto row = [](const char* name, Trail t, Verdict v, const char* detail, const char* offered = "",
                  bool temporary = false) {
        QTest::newRow(name) << t << v << QString::fromUtf8(detail) << QString::fromLatin1(offered) << temporary;
    };
    row("200", trail(page, {}, status(200)), Verdict::Fine, "HTTP 200");
    row("204", trail(page, {}, status(204)), Verdict::Fine, "HTTP 204");
    row("http to https", trail(page, {{301, "https://site.example/page"}}, status(200)), Verdict::Fine,
        "HTTP 200 at https://site.example/page");
    row("a slash added", trail(page, {{301, "http://site.example/page/"}}, status(200)), Verdict::Fine,
        "HTTP 200 at http://site.example/page/");
    row("www added", trail(page, {{308, "https://www.site.example/page"}}, status(200)), Verdict::Fine,
        "HTTP 200 at https://www.site.example/page");
    row("temporary redirect elsewhere", trail(page, {{302, "http://site.example/login?to=page"}}, status(200)),
        Verdict::Fine, "HTTP 200 at http://site.example/login?to=page");
    row("301", trail(page, {{301, "http://site.example/new"}}, status(200)), Verdict::Moved,
        "HTTP 301 to http://site.example/new", "http://site.example/new");
    row("308 to another site", trail(page, {{308, "https://other.example/p"}}, status(200)), Verdict::Moved,
        "HTTP 308 to https://other.example/p", "https://other.example/p");
    // The offer is where the permanent redirects lead, not the temporary stop after them.
    row("301 then 302",
        trail(page, {{301, "http://site.example/new"}, {302, "http://site.example/new?s=1"}}, status(200)),
        Verdict::Moved, "HTTP 301 to http://site.example/new", "http://site.example/new");
    row("302 then 301", trail(page, {{302, "http://site.example/a"}, {301, "http://site.example/b"}}, status(200)),
        Verdict::Fine, "HTTP 200 at http://site.example/b");
    row("302 to the home page", trail(page, {{302, "http://site.example/"}}, status(200)), Verdict::HomePage,
        "HTTP 302 to http://site.example/");
    row("301 to the home page on https", trail(page, {{301, "https://www.site.example/index.php"}}, status(200)),
        Verdict::HomePage, "HTTP 301 to https://www.site.example/index.php");
    row("home page to home page", trail("http://site.example/", {{301, "https://site.example/"}}, status(200)),
        Verdict::Fine, "HTTP 200 at https://site.example/");
    row("301 to another site's root", trail(page, {{301, "https://other.example/"}}, status(200)), Verdict::Moved,
        "HTTP 301 to https://other.example/", "https://other.example/");
    row("404", trail(page, {}, status(404)), Verdict::Gone, "HTTP 404");
    row("410 after a move", trail(page, {{301, "http://site.example/new"}}, status(410)), Verdict::Gone,
        "HTTP 410 at http://site.example/new");
    row("no such host", trail(page, {}, failure(Failure::NoSuchHost)), Verdict::Gone,
        "the name site.example does not exist");
    row("500", trail(page, {}, status(500)), Verdict::ServerTrouble, "HTTP 500", "", true);
    row("503", trail(page, {}, status(503)), Verdict::ServerTrouble, "HTTP 503", "", true);
    row("certificate", trail(page, {}, failure(Failure::Secure, "The certificate has expired")),
        Verdict::ServerTrouble, "The certificate has expired");
    row("refused", trail(page, {}, failure(Failure::Refused, "Connection refused")), Verdict::Unreachable,
        "Connection refused", "", true);
    row("timed out", trail(page, {}, failure(Failure::TimedOut, "No answer within 15 s.")), Verdict::Unreachable,
        "No answer within 15 s.", "", true);
    row("name service down", trail(page, {}, failure(Failure::LookupFailed)), Verdict::Unreachable, "it failed",
        "", true);
    row("hung up", trail(page, {}, failure(Failure::Other)), Verdict::Unreachable, "it failed", "", true);
    row("401", trail(page, {}, status(401)), Verdict::Blocked, "HTTP 401");
    row("403", trail(page, {}, status(403)), Verdict::Blocked, "HTTP 403");
    row("429", trail(page, {}, status(429)), Verdict::Blocked, "HTTP 429", "", true);
    row("999 of a site that hates robots", trail(page, {}, status(999)), Verdict::Blocked, "HTTP 999");
    row("loop", trail(page, {{302, "http://site.example/b"}, {302, page}}, status(302), Trail::End::Loop),
        Verdict::Loop, "HTTP 302 back to http://site.example/page");
    row("too many redirects",
        trail(page, {{302, "http://site.example/1"}, {302, "http://site.example/2"}}, status(302),
              Trail::End::TooManyHops),
        Verdict::Loop, "more than 1 redirects");
    row("redirect without address", trail(page, {}, status(302), Trail::End::BadRedirect), Verdict::ServerTrouble,
        "HTTP 302 without a usable address to go to");
    Trail other = trail(page, {}, status(301), Trail::End::OtherScheme);
    other.leadsTo = QStringLiteral("ftp://site.example/page");
    row("redirect to ftp", other, Verdict::NotChecked,
        "redirected to ftp://site.example/page, which is not a web address");
    Trail wait = trail(page, {}, status(429), Trail::End::WaitTooLong);
    wait.waitSeconds = 3600;
    row("asks to wait an hour", wait, Verdict::Blocked, "the site asks to wait 3600 s");
}

void tst_linkverdict::judgesEachTrail()
{
    QFETCH(Trail, trail);
    QFETCH(Verdict, verdict);
    QFETCH(QString, detail);
    QFETCH(QString, offered);
    QFETCH(bool, temporary);
    const Judgement judgement = judge(trail);
    QCOMPARE(verdictText(judgement.verdict), verdictText(verdict));
    QCOMPARE(judgement.detail, detail);
    QCOMPARE(judgement.offered.toString(), offered);
    QCOMPARE(isTemporary(trail), temporary);
}

void tst_linkverdict::headIsAskedAgainWithGetOnlyWhereGetCanTellMore()
{
    QList<int> asked;
    for (int code : {200, 204, 301, 302, 400, 401, 403, 404, 405, 410, 429, 500, 501, 503, 599}) {
        if (headNeedsGet(status(code)))
            asked << code;
    }
    QCOMPARE(asked, (QList<int>{400, 403, 404, 405, 410, 500, 501, 503, 599}));
    QVERIFY(headNeedsGet(failure(Failure::TimedOut)));
    QVERIFY(headNeedsGet(failure(Failure::Other)));
    for (Failure kind : {Failure::Refused, Failure::NoSuchHost, Failure::LookupFailed, Failure::Secure})
        QVERIFY(!headNeedsGet(failure(kind)));
}

void tst_linkverdict::readsRetryAfter()
{
    const QDateTime now(QDate(2015, 10, 21), QTime(7, 28, 0), QTimeZone::utc());
    QCOMPARE(retryAfterSeconds("120", now), std::optional<qint64>(120));
    QCOMPARE(retryAfterSeconds(" 0 ", now), std::optional<qint64>(0));
    QCOMPARE(retryAfterSeconds("-5", now), std::optional<qint64>(0));
    QCOMPARE(retryAfterSeconds("Wed, 21 Oct 2015 07:30:00 GMT", now), std::optional<qint64>(120));
    QCOMPARE(retryAfterSeconds("Wed, 21 Oct 2015 07:00:00 GMT", now), std::optional<qint64>(0));
    QCOMPARE(retryAfterSeconds("", now), std::nullopt);
    QCOMPARE(retryAfterSeconds("soon", now), std::nullopt);
}

void tst_linkverdict::contactsOnlyWebAddresses()
{
    const auto contacted = [](const char* stored) {
        const std::optional<QUrl> url = webAddress(QString::fromUtf8(stored));
        return url ? url->toString() : QStringLiteral("-");
    };
    QCOMPARE(contacted("http://a.example/x"), QStringLiteral("http://a.example/x"));
    QCOMPARE(contacted("HTTPS://A.example"), QStringLiteral("https://a.example"));
    QCOMPARE(contacted("  https://a.example/  "), QStringLiteral("https://a.example/"));
    // What "Open Link" opens as a web address is checked as one.
    QCOMPARE(contacted("www.a.example/x"), QStringLiteral("http://www.a.example/x"));
    for (const char* other : {"mailto:me@a.example", "ftp://a.example/f", "None", "", "a.example", "http://",
                              "file:///etc/passwd", "javascript:alert(1)"})
        QVERIFY2(contacted(other) == QStringLiteral("-"), other);
}

void tst_linkverdict::sameAddressInOtherClothes()
{
    const auto same = [](const char* a, const char* b) {
        return sameAddress(QUrl(QString::fromLatin1(a)), QUrl(QString::fromLatin1(b)));
    };
    QVERIFY(same("http://a.example/p", "https://a.example/p"));
    QVERIFY(same("http://a.example/p", "http://www.a.example/p/"));
    QVERIFY(same("http://a.example:80/p#top", "http://a.example/p"));
    QVERIFY(same("https://a.example:443", "http://a.example/"));
    QVERIFY(!same("http://a.example/p", "http://a.example/q"));
    QVERIFY(!same("http://a.example/p?x=1", "http://a.example/p?x=2"));
    QVERIFY(!same("http://a.example/p", "http://b.example/p"));
    QVERIFY(!same("http://a.example:8080/p", "http://a.example/p"));
    QVERIFY(isSiteRoot(QUrl(QStringLiteral("http://a.example"))));
    QVERIFY(isSiteRoot(QUrl(QStringLiteral("http://a.example/?lang=en"))));
    QVERIFY(isSiteRoot(QUrl(QStringLiteral("http://a.example/Default.aspx"))));
    QVERIFY(!isSiteRoot(QUrl(QStringLiteral("http://a.example/docs/index.html"))));
}

QTEST_APPLESS_MAIN(tst_linkverdict)
#include "tst_linkverdict.moc"
