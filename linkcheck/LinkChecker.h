#pragma once

#include "data/LinksStore.h"
#include "linkcheck/Verdict.h"

#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <deque>
#include <unordered_map>
#include <vector>

namespace platform {
class HttpRequests;
}

namespace linkcheck {

// How politely and how long the check asks.
struct Settings {
    int timeoutMs = 15000;           // one request, from its start to its answer
    int perSite = 2;                 // requests at once to one host
    int inAll = 16;                  // requests at once over all hosts
    int longestWaitSeconds = 60;     // the longest Retry-After honoured; a site asking more is not checked
    int maxRedirects = 10;           // redirects followed for one link
    qint64 maxBodyBytes = 64 * 1024; // read of a GET's body before hanging up
};

// The final word on one link.
struct Result {
    Link link;
    Verdict verdict = Verdict::Fine;
    QString detail;
    QUrl offered; // Moved: the address to use instead
};

// Checks a list of links over the network without ever waiting for an answer: the requests run
// asynchronously on the caller's event loop, so a window stays responsive however many links there
// are. Each host gets at most perSite requests at once and none while it asked to be left alone
// (Retry-After); a link that fails in a way that may pass is tried once more after all others.
// Nothing is written anywhere: the results are only reported.
class LinkChecker : public QObject {
    Q_OBJECT

public:
    explicit LinkChecker(QList<Link> links, Settings settings = {}, QObject* parent = nullptr);
    ~LinkChecker() override;

    // Judges the links that are not web addresses at once, then starts on the others.
    void start();
    // Stops every request; nothing more is reported.
    void cancel();

    int total() const { return int(m_links.size()); }
    int done() const { return m_done; }
    bool isRunning() const { return m_started && !m_stopped; }
    // How many of these links are web addresses, and on how many sites (hosts).
    struct Reach {
        int links = 0;
        int sites = 0;
    };
    static Reach reach(const QList<Link>& links);

Q_SIGNALS:
    // A request to this host starts.
    void contacting(const QString& site);
    // Once per link, when its verdict is final.
    void judged(const linkcheck::Result& result);
    // Every link judged.
    void finished();

private:
    // A link under way: what its next request is and what it saw so far. Only the links under way
    // have one, so a long list costs little more than itself.
    struct Job {
        QUrl url;                  // the address asked next
        QByteArray method;         // "HEAD", or "GET" when HEAD's answer was not to be trusted
        platform::HttpAnswer head; // HEAD's answer while the GET is under way
        Trail trail;
        QList<QUrl> seen; // the addresses met on the way, for loops
    };
    struct Site {
        std::deque<int> waiting; // links whose next request goes here, the first first
        int inFlight = 0;
        qint64 notBeforeMs = 0;     // on m_clock: no request before then (Retry-After)
        qint64 refusedSeconds = -1; // asked to wait longer than the check waits: not asked again
        bool ready = false;         // in m_ready
        bool timerSet = false;      // a timer wakes it when its wait ends
    };

    QList<Link> m_links;
    Settings m_settings;
    platform::HttpRequests* m_http;
    std::unordered_map<int, Job> m_jobs; // by link
    std::vector<bool> m_secondTry;       // by link: the try at the end is under way
    QHash<QString, Site> m_sites;
    std::deque<QString> m_ready; // sites that may be sent a request now, in turn
    std::vector<int> m_later;    // links that failed in a passing way, for the end
    QElapsedTimer m_clock;
    int m_next = 0;    // the first link not yet handed to its site
    int m_open = 0;    // links neither judged nor set aside for the end
    int m_done = 0;
    bool m_started = false;
    bool m_stopped = false;

    Job& jobFor(int link);
    void distribute();
    void enqueue(int link, const QUrl& url, bool first);
    void markReady(const QString& site);
    void pump();
    void send(int job);
    void answered(int job, const platform::HttpAnswer& answer);
    void follow(int job, const platform::HttpAnswer& answer);
    void conclude(int job);
    void report(int job);
    void refuseSite(const QString& site);
    // Ends a link as "blocked": its site asks to wait longer than the check does.
    void giveUp(int job, qint64 waitSeconds);
    void nextRound();
};

} // namespace linkcheck
