#pragma once

#include "platform/HttpRequests.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>
#include <utility>

// How one link is judged from what its check saw: plain functions of the answers, no network.
// "Gone" is said only when a server or the name service says so; a refusal of robots, a wait asked
// for or a server in trouble never counts as dead.
namespace linkcheck {

// In the order the problems are listed.
enum class Verdict {
    Gone,          // 404 or 410, or the host name does not exist
    Moved,         // a permanent redirect to another address: offer that address
    HomePage,      // redirected to the root of the same site: likely gone, never called gone
    Loop,          // redirects that come back round, or more of them than are followed
    ServerTrouble, // 5xx after the second try, or a secure connection that fails
    Unreachable,   // refused or timed out, after the second try
    Blocked,       // 401, 403, 429 and other refusals of robots: could not check
    NotChecked,    // not a web address
    Fine,          // 2xx, directly or after a redirect that keeps the address
};
constexpr int VerdictCount = 9;

// What the window shows for a verdict: "gone", "moved", ...
QString verdictText(Verdict verdict);

// Every header the check sends besides those Qt adds (Host, Accept-Encoding, Connection): those a
// desktop browser sends, so that sites answer as they answer people.
QList<std::pair<QByteArray, QByteArray>> requestHeaders();

// An http: or https: address with a host: the only kind the check contacts.
bool isWebUrl(const QUrl& url);

// The address contacted for a stored one: what "Open Link" opens, when that is an http: or https:
// address with a host; nothing for anything else ("mailto:", "ftp:", "None").
std::optional<QUrl> webAddress(const QString& stored);

// The site a request goes to, for the politeness limits: the host name in lower case.
QString siteOf(const QUrl& url);

// Whether a HEAD answer is asked again with GET: some servers answer HEAD wrongly or not at all.
bool headNeedsGet(const platform::HttpAnswer& head);

// Whether a status is a redirect that names where to go.
bool isRedirect(int status);

// The seconds a Retry-After header asks for (a number or an HTTP date); nothing when it asks for
// nothing readable. A date in the past asks for 0.
std::optional<qint64> retryAfterSeconds(const QByteArray& header, const QDateTime& now);

// Whether two addresses are the same page in other clothes: http and https, "www." or not, a
// default port spelled out, a trailing slash, a fragment.
bool sameAddress(const QUrl& a, const QUrl& b);
// Whether the address is a site's home page: "/", or "/index.html" and its kind.
bool isSiteRoot(const QUrl& url);

// One redirect followed.
struct Hop {
    int status = 0;
    QUrl to;
};

// What one link's check saw, in order.
struct Trail {
    enum class End {
        Answer,      // `last` holds the answer that ended it
        Loop,        // a redirect led back to an address met before
        TooManyHops, // more redirects than are followed
        BadRedirect, // a redirect without a usable address; `last` holds it
        OtherScheme, // a redirect to an address that is not a web address
        WaitTooLong, // the site asked to wait longer than the check waits
    };
    QUrl start;
    QList<Hop> hops;
    platform::HttpAnswer last;
    End end = End::Answer;
    QString leadsTo;        // OtherScheme: the address redirected to
    qint64 waitSeconds = 0; // WaitTooLong: what the site asked for
};

struct Judgement {
    Verdict verdict = Verdict::Fine;
    QString detail; // status code, final address or error text
    QUrl offered;   // Moved: the address to use instead
};

Judgement judge(const Trail& trail);

// Whether the outcome may change by itself (a time-out, a refusal, 5xx, 429): worth a second try
// once every other link is done.
bool isTemporary(const Trail& trail);

} // namespace linkcheck
