#include "linkcheck/LinkChecker.h"

#include "platform/HttpRequests.h"

#include <QSet>
#include <QTimer>
#include <algorithm>

namespace linkcheck {

using Failure = platform::HttpAnswer::Failure;

namespace {

// An address may be met twice on one link's way: a site that sets a cookie and sends the
// browser back to the same address is no loop. The third time it is.
constexpr int TimesAnAddressMayComeBack = 1;

// About a millisecond's work.
constexpr int LinksPerTurn = 500;

} // namespace

LinkChecker::LinkChecker(QList<Link> links, Settings settings, QObject* parent)
    : QObject(parent), m_links(std::move(links)), m_settings(settings), m_http(new platform::HttpRequests(this))
{
}

LinkChecker::~LinkChecker() = default;

LinkChecker::Reach LinkChecker::reach(const QList<Link>& links)
{
    Reach reach;
    QSet<QString> sites;
    for (const Link& link : links) {
        if (const std::optional<QUrl> url = webAddress(link.url)) {
            ++reach.links;
            sites.insert(siteOf(*url));
        }
    }
    reach.sites = int(sites.size());
    return reach;
}

void LinkChecker::start()
{
    if (m_started)
        return;
    m_started = true;
    m_clock.start();
    m_secondTry.assign(size_t(m_links.size()), false);
    distribute();
}

void LinkChecker::distribute()
{
    // A slice at a time, each on its own turn of the event loop: a long list never holds up the
    // window, and the first requests go out at once.
    const int end = std::min(m_next + LinksPerTurn, int(m_links.size()));
    for (; m_next < end; ++m_next) {
        if (const std::optional<QUrl> url = webAddress(m_links[m_next].url)) {
            ++m_open;
            enqueue(m_next, *url, false);
        } else {
            ++m_done;
            Q_EMIT judged(Result{m_links[m_next], Verdict::NotChecked, QStringLiteral("not a web address"), {}});
        }
        if (m_stopped)
            return;
    }
    if (m_next < m_links.size())
        QTimer::singleShot(0, this, [this] {
            if (!m_stopped)
                distribute();
        });
    else if (m_open == 0)
        nextRound();
    pump();
}

void LinkChecker::cancel()
{
    m_stopped = true;
    m_http->abortAll();
}

LinkChecker::Job& LinkChecker::jobFor(int link)
{
    auto it = m_jobs.find(link);
    if (it == m_jobs.end()) {
        Job job;
        job.url = webAddress(m_links[link].url).value_or(QUrl());
        job.method = "HEAD";
        job.trail.start = job.url;
        job.seen = {job.url};
        it = m_jobs.emplace(link, std::move(job)).first;
    }
    return it->second;
}

void LinkChecker::enqueue(int link, const QUrl& url, bool first)
{
    const QString name = siteOf(url);
    Site& site = m_sites[name];
    if (site.refusedSeconds >= 0) {
        giveUp(link, site.refusedSeconds);
        return;
    }
    // A link under way goes first, so each one is done soon after it began.
    if (first)
        site.waiting.push_front(link);
    else
        site.waiting.push_back(link);
    markReady(name);
}

void LinkChecker::markReady(const QString& name)
{
    Site& site = m_sites[name];
    if (site.ready || site.waiting.empty() || site.inFlight >= m_settings.perSite)
        return;
    const qint64 now = m_clock.elapsed();
    if (now < site.notBeforeMs) {
        if (!site.timerSet) {
            site.timerSet = true;
            QTimer::singleShot(site.notBeforeMs - now, Qt::PreciseTimer, this, [this, name] {
                if (m_stopped)
                    return;
                m_sites[name].timerSet = false;
                markReady(name);
                pump();
            });
        }
        return;
    }
    site.ready = true;
    m_ready.push_back(name);
}

void LinkChecker::pump()
{
    while (!m_stopped && m_http->inFlight() < m_settings.inAll && !m_ready.empty()) {
        const QString name = m_ready.front();
        m_ready.pop_front();
        Site& site = m_sites[name];
        site.ready = false;
        if (site.waiting.empty() || site.inFlight >= m_settings.perSite || m_clock.elapsed() < site.notBeforeMs) {
            markReady(name);
            continue;
        }
        const int link = site.waiting.front();
        site.waiting.pop_front();
        ++site.inFlight;
        // Back in line behind the other sites: each takes its turn.
        markReady(name);
        send(link);
    }
}

void LinkChecker::send(int link)
{
    static const QList<std::pair<QByteArray, QByteArray>> headers = requestHeaders();
    const Job& job = jobFor(link);
    platform::HttpRequest request;
    request.method = job.method;
    request.url = job.url;
    request.headers = headers;
    request.timeoutMs = m_settings.timeoutMs;
    request.maxBodyBytes = job.method == "GET" ? m_settings.maxBodyBytes : 0;
    Q_EMIT contacting(siteOf(job.url));
    if (m_stopped)
        return;
    m_http->start(request, [this, link](const platform::HttpAnswer& answer) { answered(link, answer); });
}

void LinkChecker::answered(int link, const platform::HttpAnswer& answer)
{
    if (m_stopped)
        return;
    Job& job = jobFor(link);
    const QString name = siteOf(job.url);
    --m_sites[name].inFlight;

    // "Not so fast": nothing more goes to the site before the time it names, unless that is
    // longer than the check waits, in which case nothing more goes to it at all.
    if ((answer.status == 429 || answer.status == 503) && !answer.retryAfter.isEmpty()) {
        if (const std::optional<qint64> seconds =
                retryAfterSeconds(answer.retryAfter, QDateTime::currentDateTimeUtc())) {
            Site& site = m_sites[name];
            if (*seconds > m_settings.longestWaitSeconds) {
                // This link first, then every other one waiting for the site.
                site.refusedSeconds = *seconds;
                site.waiting.push_front(link);
                refuseSite(name);
                pump();
                return;
            }
            site.notBeforeMs = std::max(site.notBeforeMs, m_clock.elapsed() + *seconds * 1000);
        }
    }

    if (job.method == "HEAD" && headNeedsGet(answer)) {
        job.head = answer;
        job.method = "GET";
        enqueue(link, job.url, true);
    } else if (job.method == "GET" && answer.failure != Failure::None && job.head.status > 0) {
        // GET failed where HEAD had an answer: HEAD's status says more than the failure.
        follow(link, job.head);
    } else {
        follow(link, answer);
    }
    if (m_stopped)
        return;
    markReady(name);
    pump();
}

void LinkChecker::follow(int link, const platform::HttpAnswer& answer)
{
    Job& job = jobFor(link);
    job.trail.last = answer;
    job.trail.end = Trail::End::Answer;
    if (answer.failure != Failure::None || !isRedirect(answer.status)) {
        conclude(link);
        return;
    }
    const QByteArray location = answer.location.trimmed();
    const QUrl target = location.isEmpty() ? QUrl() : job.url.resolved(QUrl::fromEncoded(location));
    if (!target.isValid() || target.isEmpty()) {
        job.trail.end = Trail::End::BadRedirect;
        conclude(link);
        return;
    }
    if (!isWebUrl(target)) {
        job.trail.end = Trail::End::OtherScheme;
        job.trail.leadsTo = target.toString();
        conclude(link);
        return;
    }
    job.trail.hops.append(Hop{answer.status, target});
    if (job.seen.count(target) > TimesAnAddressMayComeBack) {
        job.trail.end = Trail::End::Loop;
        conclude(link);
        return;
    }
    if (job.trail.hops.size() > m_settings.maxRedirects) {
        job.trail.end = Trail::End::TooManyHops;
        conclude(link);
        return;
    }
    job.seen.append(target);
    job.url = target;
    job.method = "HEAD";
    job.head = {};
    enqueue(link, target, true);
}

void LinkChecker::conclude(int link)
{
    --m_open;
    if (!m_secondTry[size_t(link)] && isTemporary(jobFor(link).trail)) {
        m_jobs.erase(link);
        m_later.push_back(link);
    } else {
        report(link);
        if (m_stopped)
            return;
    }
    if (m_open == 0 && m_next == m_links.size())
        nextRound();
}

void LinkChecker::report(int link)
{
    const Judgement judgement = judge(jobFor(link).trail);
    m_jobs.erase(link);
    ++m_done;
    Q_EMIT judged(Result{m_links[link], judgement.verdict, judgement.detail, judgement.offered});
}

void LinkChecker::refuseSite(const QString& name)
{
    Site& site = m_sites[name];
    const qint64 seconds = site.refusedSeconds;
    const std::deque<int> waiting = std::exchange(site.waiting, {});
    for (int link : waiting) {
        giveUp(link, seconds);
        if (m_stopped)
            return;
    }
}

void LinkChecker::giveUp(int link, qint64 waitSeconds)
{
    Trail& trail = jobFor(link).trail;
    trail.end = Trail::End::WaitTooLong;
    trail.waitSeconds = waitSeconds;
    conclude(link);
}

void LinkChecker::nextRound()
{
    if (m_later.empty()) {
        m_stopped = true;
        Q_EMIT finished();
        return;
    }
    // The second and last try of each link that failed in a passing way, from its stored address.
    const std::vector<int> again = std::exchange(m_later, {});
    m_open = int(again.size());
    for (int link : again)
        m_secondTry[size_t(link)] = true;
    for (int link : again) {
        enqueue(link, webAddress(m_links[link].url).value_or(QUrl()), false);
        if (m_stopped)
            return;
    }
    pump();
}

} // namespace linkcheck
