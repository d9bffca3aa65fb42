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

} // namespace

LinkChecker::LinkChecker(QList<Link> links, Settings settings, QObject* parent)
    : QObject(parent), m_links(std::move(links)), m_settings(settings), m_http(new platform::HttpRequests(this))
{
}

LinkChecker::~LinkChecker() = default;

int LinkChecker::siteCount(const QList<Link>& links)
{
    QSet<QString> sites;
    for (const Link& link : links) {
        if (const std::optional<QUrl> url = webAddress(link.url))
            sites.insert(siteOf(*url));
    }
    return int(sites.size());
}

void LinkChecker::start()
{
    if (m_started)
        return;
    m_started = true;
    m_clock.start();
    m_jobs.reserve(m_links.size());
    for (int i = 0; i < m_links.size(); ++i) {
        const std::optional<QUrl> url = webAddress(m_links[i].url);
        if (!url) {
            ++m_done;
            Q_EMIT judged(Result{m_links[i], Verdict::NotChecked, QStringLiteral("not a web address"), {}});
            if (m_stopped)
                return;
            continue;
        }
        Job job;
        job.link = i;
        job.url = *url;
        job.method = "HEAD";
        job.trail.start = *url;
        job.seen = {*url};
        m_jobs.push_back(std::move(job));
    }
    m_open = int(m_jobs.size());
    for (int j = 0; j < int(m_jobs.size()); ++j)
        enqueue(j, false);
    if (m_open == 0)
        nextRound();
    else
        pump();
}

void LinkChecker::cancel()
{
    m_stopped = true;
    m_http->abortAll();
}

void LinkChecker::enqueue(int j, bool first)
{
    const QString name = siteOf(m_jobs[j].url);
    Site& site = m_sites[name];
    if (site.refusedSeconds >= 0) {
        m_jobs[j].trail.end = Trail::End::WaitTooLong;
        m_jobs[j].trail.waitSeconds = site.refusedSeconds;
        conclude(j);
        return;
    }
    // A link under way goes first, so each one is done soon after it began.
    if (first)
        site.waiting.push_front(j);
    else
        site.waiting.push_back(j);
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
    while (!m_stopped && m_running < m_settings.inAll && !m_ready.empty()) {
        const QString name = m_ready.front();
        m_ready.pop_front();
        Site& site = m_sites[name];
        site.ready = false;
        if (site.waiting.empty() || site.inFlight >= m_settings.perSite || m_clock.elapsed() < site.notBeforeMs) {
            markReady(name);
            continue;
        }
        const int j = site.waiting.front();
        site.waiting.pop_front();
        ++site.inFlight;
        ++m_running;
        // Back in line behind the other sites: each takes its turn.
        markReady(name);
        send(j);
    }
}

void LinkChecker::send(int j)
{
    static const QList<std::pair<QByteArray, QByteArray>> headers = requestHeaders();
    const Job& job = m_jobs[j];
    platform::HttpRequest request;
    request.method = job.method;
    request.url = job.url;
    request.headers = headers;
    request.timeoutMs = m_settings.timeoutMs;
    request.maxBodyBytes = job.method == "GET" ? m_settings.maxBodyBytes : 0;
    Q_EMIT contacting(siteOf(job.url));
    if (m_stopped)
        return;
    m_http->start(request, [this, j](const platform::HttpAnswer& answer) { answered(j, answer); });
}

void LinkChecker::answered(int j, const platform::HttpAnswer& answer)
{
    if (m_stopped)
        return;
    const QString name = siteOf(m_jobs[j].url);
    --m_sites[name].inFlight;
    --m_running;

    // "Not so fast": nothing more goes to the site before the time it names, unless that is
    // longer than the check waits, in which case nothing more goes to it at all.
    if ((answer.status == 429 || answer.status == 503) && !answer.retryAfter.isEmpty()) {
        if (const std::optional<qint64> seconds =
                retryAfterSeconds(answer.retryAfter, QDateTime::currentDateTimeUtc())) {
            Site& site = m_sites[name];
            if (*seconds > m_settings.longestWaitSeconds) {
                site.refusedSeconds = *seconds;
                m_jobs[j].trail.last = answer;
                m_jobs[j].trail.end = Trail::End::WaitTooLong;
                m_jobs[j].trail.waitSeconds = *seconds;
                conclude(j);
                refuseSite(name);
                pump();
                return;
            }
            site.notBeforeMs = std::max(site.notBeforeMs, m_clock.elapsed() + *seconds * 1000);
        }
    }

    Job& job = m_jobs[j];
    if (job.method == "HEAD" && headNeedsGet(answer)) {
        job.head = answer;
        job.method = "GET";
        enqueue(j, true);
    } else if (job.method == "GET" && answer.failure != Failure::None && job.head.status > 0) {
        // GET failed where HEAD had an answer: HEAD's status says more than the failure.
        follow(j, job.head);
    } else {
        follow(j, answer);
    }
    if (m_stopped)
        return;
    markReady(name);
    pump();
}

void LinkChecker::follow(int j, const platform::HttpAnswer& answer)
{
    Job& job = m_jobs[j];
    job.trail.last = answer;
    job.trail.end = Trail::End::Answer;
    if (answer.failure != Failure::None || !isRedirect(answer.status)) {
        conclude(j);
        return;
    }
    const QUrl target = answer.location.trimmed().isEmpty()
                            ? QUrl()
                            : job.url.resolved(QUrl::fromEncoded(answer.location.trimmed()));
    if (!target.isValid() || target.isEmpty()) {
        job.trail.end = Trail::End::BadRedirect;
        conclude(j);
        return;
    }
    const QString scheme = target.scheme().toLower();
    if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || target.host().isEmpty()) {
        job.trail.end = Trail::End::OtherScheme;
        job.trail.leadsTo = target.toString();
        conclude(j);
        return;
    }
    job.trail.hops.append(Hop{answer.status, target});
    if (job.seen.count(target) > TimesAnAddressMayComeBack) {
        job.trail.end = Trail::End::Loop;
        conclude(j);
        return;
    }
    if (job.trail.hops.size() > m_settings.maxRedirects) {
        job.trail.end = Trail::End::TooManyHops;
        conclude(j);
        return;
    }
    job.seen.append(target);
    job.url = target;
    job.method = "HEAD";
    job.head = {};
    enqueue(j, true);
}

void LinkChecker::conclude(int j)
{
    --m_open;
    if (!m_jobs[j].second && isTemporary(m_jobs[j].trail)) {
        m_later.push_back(j);
    } else {
        report(j);
        if (m_stopped)
            return;
    }
    if (m_open == 0)
        nextRound();
}

void LinkChecker::report(int j)
{
    const Job& job = m_jobs[j];
    const Judgement judgement = judge(job.trail);
    ++m_done;
    Q_EMIT judged(Result{m_links[job.link], judgement.verdict, judgement.detail, judgement.offered});
}

void LinkChecker::refuseSite(const QString& name)
{
    Site& site = m_sites[name];
    const qint64 seconds = site.refusedSeconds;
    const std::deque<int> waiting = std::exchange(site.waiting, {});
    for (int j : waiting) {
        m_jobs[j].trail.end = Trail::End::WaitTooLong;
        m_jobs[j].trail.waitSeconds = seconds;
        conclude(j);
        if (m_stopped)
            return;
    }
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
    for (int j : again) {
        Job& job = m_jobs[j];
        const QUrl start = job.trail.start;
        job.url = start;
        job.method = "HEAD";
        job.head = {};
        job.trail = Trail{};
        job.trail.start = start;
        job.seen = {start};
        job.second = true;
    }
    for (int j : again) {
        enqueue(j, false);
        if (m_stopped)
            return;
    }
    pump();
}

} // namespace linkcheck
