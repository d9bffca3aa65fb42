#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <vector>

class QTextStream;
class QWidget;

namespace bench {

// The figures of one run, in milliseconds; a negative figure was not measured.
enum Measure { StartUp, Select, Add, Save, DeleteSelected, DeleteAll, MeasureCount };
using Times = std::array<double, MeasureCount>;
const char* measureName(int measure);

// The figures of one run, and what it saw that it should not have (empty when all behaved).
struct Outcome {
    Times ms;
    QStringList problems;
};

// Counts the paint events of one list's viewport, wherever and whenever that list appears.
// A command counts as done when its list has been painted afterwards: the user sees the result.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(std::function<bool(QObject*)> isTheList);
    ~PaintWatch() override;
    int paints() const { return m_paints; }
    // Runs the event loop until the list was painted after `before` paints; false on a time-out.
    bool waitPainted(int before, int timeoutMs = 60000) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<bool(QObject*)> m_isTheList;
    int m_paints = 0;
};

// Whether a paint went to the viewport of the main window's list.
bool isMainList(QObject* watched);

// Milliseconds from a started timer.
inline double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The median of the figures that were measured (a negative one was not); -1 when none was.
double median(std::vector<double> values);
// "12.34 ms" below 10 ms, "123.4 ms" above; "n/a" for a figure not measured.
QString ms(double v);
// A fresh copy of the links file at `from` as the links.mdb of `folder` (made when missing).
bool copyLinksFile(const QString& from, const QString& folder);
// Resident memory in kilobytes that a fresh child process of this benchmark reports when run with
// mode, kind and folder (its rss_kb= line; its problem= lines join `problems`).
long childRss(const QString& mode, const QString& kind, const QString& folder, QStringList& problems);
// "1.23x", the program's figure over the floor's; "n/a" unless both were measured.
QString ratio(double program, double floor);
// "text  met" or "text  MISSED" (nothing for no text); a missed goal clears allMet.
QString goal(const QString& text, bool met, bool& allMet);
// The last lines of a table: the problems found and the verdict ("Every <what> goal met.").
// Returns the exit code.
int endTable(QTextStream& out, const QStringList& problems, bool allMet, const char* what = nullptr);

// A field of /proc/self/status in kilobytes ("VmRSS", "VmHWM"); -1 when it cannot be read.
long statusKb(const char* field);
// VmRSS of this process in kilobytes.
long residentKb();
// Starts VmHWM afresh from what the process holds now; false when the system does not allow it.
bool resetPeak();

// The credentials a protected file opens with.
struct LogIn {
    QString user, password;
};

// The program's own windows on the file in `folder`; through the log-in window when given one
// (start-up is then timed from its Ok).
Outcome runProgram(const QString& folder, int linkCount, const LogIn* logIn = nullptr);
// The program's start-up only, then its resident memory (a fresh child process runs this).
long programStartupRss(const QString& folder, QString* problem);

// The least work that gives the same picture from the same file.
Outcome runFloor(const QString& folder, int linkCount);
long floorStartupRss(const QString& folder, QString* problem);

// The same commands with protection on beside the same with it off, the log-in, and switching
// protection on, to new credentials and off, at 100,000 links: a small table of its own.
int runProtectedTable(int runs);

// Gives the links.mdb in folder a backup made now, so that no start-up backup is due there: the
// other tables time the program on an ordinary start.
void markBackedUpToday(const QString& folder);

// What the backups cost at 100,000 links: a backup before a command, a restore, and start-up with
// the day's backup due beside start-up without: a small table of its own.
int runBackupTable(int runs);

// Reading and writing a 100,000-link bookmark file, printed as its own small table.
int runBookmarkTable(int runs);
// The peak memory of reading the bookmark file at `path` ("read") or of parsing it alone
// ("floor"), in kilobytes above what the process held before (a fresh child process runs this).
long bookmarkPeakKb(const QString& kind, const QString& path);
// Bookmark files shaped as an attacker would, each read in a fresh child process, as a table.
int runHostileTable();
// Reads one such file and prints the time, the peak memory and the outcome (the child's part).
void hostileRead(const QString& path);
// Imports one through the main window, cancels midway and prints how soon it was back (the child's part).
void hostileCancel(const QString& path);

// The Find Site Link window at each size: opening it, 30 keystrokes, memory; printed as its own table.
int runFindTable(const QList<int>& sizes, int runs);
// Resident memory after start-up ("program") or after opening the find window and typing ("find"),
// in kilobytes (a fresh child process runs this).
long findStartupRss(const QString& kind, const QString& folder, QString* problem);
// "Check Links..." over 10,000 links on 1,000 local hosts, printed as its own small table.
int runLinkCheckTable();
// The hosts of that table (a child process): each answers every request after answerMs.
int serveLinkHosts(int hosts, int answerMs);
// The program checking the links of the file in `folder` (a child process): prints its figures.
int runLinkCheck(const QString& folder);

} // namespace bench
