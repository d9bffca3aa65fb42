#include "linkcheck/Verdict.h"

#include "platform/ShellOpen.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTimeZone>
#include <tuple>

namespace linkcheck {

using Failure = platform::HttpAnswer::Failure;

QString verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Gone:
        return QStringLiteral("gone");
    case Verdict::Moved:
        return QStringLiteral("moved");
    case Verdict::HomePage:
        return QStringLiteral("redirected to the site's home page");
    case Verdict::Loop:
        return QStringLiteral("redirect loop");
    case Verdict::ServerTrouble:
        return QStringLiteral("server trouble");
    case Verdict::Unreachable:
        return QStringLiteral("refused or timed out");
    case Verdict::Blocked:
        return QStringLiteral("blocked: could not check");
    case Verdict::NotChecked:
        return QStringLiteral("not checked");
    case Verdict::Fine:
        break;
    }
    return QStringLiteral("fine");
}

QList<std::pair<QByteArray, QByteArray>> requestHeaders()
{
    // Debian's own browser, word for word.
    return {
        {"User-Agent", "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0"},
        {"Accept", "text/html,application/xhtml+xml,application/xml;q=0.9,image/avif,image/webp,*/*;q=0.8"},
        {"Accept-Language", "en-US,en;q=0.5"},
    };
}

bool isWebUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

std::optional<QUrl> webAddress(const QString& stored)
{
    const QUrl url(platform::openerArgument(stored.trimmed()));
    if (!isWebUrl(url))
        return std::nullopt;
    return url;
}

QString siteOf(const QUrl& url)
{
    return url.host().toLower();
}

bool headNeedsGet(const platform::HttpAnswer& head)
{
    switch (head.failure) {
    case Failure::None:
        break;
    // A server that hangs or hangs up on HEAD may still answer GET.
    case Failure::TimedOut:
    case Failure::Other:
        return true;
    // The name, the port or the certificate fail whatever is asked.
    case Failure::NoSuchHost:
    case Failure::LookupFailed:
    case Failure::Refused:
    case Failure::Secure:
        return false;
    }
    switch (head.status) {
    case 400:
    case 403:
    case 404: // some servers say 404 to HEAD for pages they serve: "gone" only after GET agrees
    case 405:
    case 410:
    case 501:
        return true;
    default:
        return head.status >= 500 && head.status <= 599;
    }
}

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<qint64> retryAfterSeconds(const QByteArray& header, const QDateTime& now)
{
    const QString text = QString::fromLatin1(header).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool isNumber = false;
    const qint64 seconds = text.toLongLong(&isNumber);
    if (isNumber)
        return std::max<qint64>(seconds, 0);
    // The HTTP date: "Wed, 21 Oct 2015 07:28:00 GMT".
    QDateTime at = QDateTime::fromString(text, Qt::RFC2822Date);
    if (!at.isValid()) {
        at = QLocale::c().toDateTime(text, QStringLiteral("ddd, dd MMM yyyy hh:mm:ss 'GMT'"));
        at.setTimeZone(QTimeZone::utc());
    }
    if (!at.isValid())
        return std::nullopt;
    return std::max<qint64>(now.secsTo(at), 0);
}

namespace {

auto addressKey(const QUrl& url)
{
    QString host = url.host().toLower();
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    const int defaultPort = url.scheme().toLower() == QLatin1String("https") ? 443 : 80;
    const int port = url.port(defaultPort) == defaultPort ? -1 : url.port();
    QString path = url.path(QUrl::FullyEncoded);
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return std::make_tuple(host, port, path, url.query(QUrl::FullyEncoded));
}

bool sameSite(const QUrl& a, const QUrl& b)
{
    return std::get<0>(addressKey(a)) == std::get<0>(addressKey(b));
}

QString http(int status)
{
    return QStringLiteral("HTTP %1").arg(status);
}

QString shown(const QUrl& url)
{
    return url.toString();
}

} // namespace

bool sameAddress(const QUrl& a, const QUrl& b)
{
    return addressKey(a) == addressKey(b);
}

bool isSiteRoot(const QUrl& url)
{
    static const QRegularExpression IndexPage(QStringLiteral("^/(index|default)\\.[a-z0-9]+$"),
                                              QRegularExpression::CaseInsensitiveOption);
    const QString path = url.path();
    return path.isEmpty() || path == QLatin1String("/") || IndexPage.match(path).hasMatch();
}

Judgement judge(const Trail& trail)
{
    const QUrl final = trail.hops.isEmpty() ? trail.start : trail.hops.last().to;
    const bool redirected = !trail.hops.isEmpty();
    // Where the answer came from, when that is not the stored address.
    const QString at = redirected ? QStringLiteral(" at ") + shown(final) : QString();
    const platform::HttpAnswer& last = trail.last;

    switch (trail.end) {
    case Trail::End::Loop:
        return {Verdict::Loop,
                QStringLiteral("HTTP %1 back to %2").arg(trail.hops.last().status).arg(shown(final)),
                {}};
    case Trail::End::TooManyHops:
        return {Verdict::Loop, QStringLiteral("more than %1 redirects").arg(trail.hops.size() - 1), {}};
    case Trail::End::BadRedirect:
        return {Verdict::ServerTrouble,
                http(last.status) + QStringLiteral(" without a usable address to go to") + at,
                {}};
    case Trail::End::OtherScheme:
        return {Verdict::NotChecked,
                QStringLiteral("redirected to %1, which is not a web address").arg(trail.leadsTo),
                {}};
    case Trail::End::WaitTooLong:
        return {Verdict::Blocked, QStringLiteral("the site asks to wait %1 s").arg(trail.waitSeconds), {}};
    case Trail::End::Answer:
        break;
    }

    switch (last.failure) {
    case Failure::None:
        break;
    case Failure::NoSuchHost:
        return {Verdict::Gone, QStringLiteral("the name %1 does not exist").arg(final.host()), {}};
    case Failure::Secure:
        return {Verdict::ServerTrouble, last.error + at, {}};
    case Failure::LookupFailed:
    case Failure::Refused:
    case Failure::TimedOut:
    case Failure::Other:
        return {Verdict::Unreachable, last.error + at, {}};
    }

    const int status = last.status;
    if (status == 404 || status == 410)
        return {Verdict::Gone, http(status) + at, {}};
    if (status >= 500 && status <= 599)
        return {Verdict::ServerTrouble, http(status) + at, {}};
    if (status < 200 || status > 299)
        return {Verdict::Blocked, http(status) + at, {}};

    if (!redirected || sameAddress(trail.start, final))
        return {Verdict::Fine, http(status) + at, {}};
    // A missing page sent to the front door, whether the redirect says "moved" or "found".
    if (isSiteRoot(final) && !isSiteRoot(trail.start) && sameSite(trail.start, final))
        return {Verdict::HomePage, http(trail.hops.first().status) + QStringLiteral(" to ") + shown(final), {}};
    // Permanent redirects say "use this address from now on"; a temporary one after them says
    // "keep using the one you have", so the offer is where the permanent ones lead.
    qsizetype permanent = 0;
    while (permanent < trail.hops.size() &&
           (trail.hops[permanent].status == 301 || trail.hops[permanent].status == 308))
        ++permanent;
    if (permanent == 0)
        return {Verdict::Fine, http(status) + at, {}};
    const QUrl offered = trail.hops[permanent - 1].to;
    if (sameAddress(trail.start, offered))
        return {Verdict::Fine, http(status) + at, {}};
    return {Verdict::Moved, http(trail.hops.first().status) + QStringLiteral(" to ") + shown(offered), offered};
}

bool isTemporary(const Trail& trail)
{
    if (trail.end != Trail::End::Answer)
        return false;
    switch (trail.last.failure) {
    case Failure::LookupFailed:
    case Failure::Refused:
    case Failure::TimedOut:
    case Failure::Other:
        return true;
    case Failure::NoSuchHost:
    case Failure::Secure:
        return false;
    case Failure::None:
        break;
    }
    const int status = trail.last.status;
    return status == 408 || status == 429 || (status >= 500 && status <= 599);
}

} // namespace linkcheck
