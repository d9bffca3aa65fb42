#pragma once

// The program in a child process (tests/harness): the real start-up and windows, with every
// message box and every opened address written back as lines.

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace testkit {

class Harness {
public:
    struct Box {
        int style = 0;
        QString title;
        QString text; // CR and LF come back as the two characters \r and \n
    };

    // folder holds the links.mdb the program opens; runtimeDir is the user's runtime folder (the
    // single-instance lock lives there): give two copies the same one to make them meet.
    Harness(const QString& folder, const QString& runtimeDir);
    ~Harness(); // kills the process if it still runs

    void setAnswers(const QList<int>& answers);
    void setEnv(const QString& name, const QString& value);
    // The user's actions, one line each (tests/harness/Script.h), run once the start-up settled;
    // false when their file could not be written.
    bool setScript(const QStringList& lines);
    void start();

    // Waits for a line starting with prefix (a new one after those already taken); empty on time-out.
    QString waitForLine(const QString& prefix, int timeoutMs = 30000);
    // Waits for the process to end by itself; false on time-out.
    bool waitForExit(int timeoutMs = 30000);
    void kill();

    QStringList lines();
    QList<Box> boxes();
    QStringList windowsShown(); // the names on the first WINDOWS line, empty when none came
    int exitCode() const;
    bool crashed() const; // ended by a signal
    QString stderrText();

private:
    void readAvailable();
    QProcess m_process;
    QProcessEnvironment m_env;
    QTemporaryDir m_scriptDir;
    QStringList m_lines;
    QString m_partial;
    QString m_stderr;
    int m_taken = 0;
};

// A private runtime folder (0700, as the desktop's own) for single-instance tests.
class RuntimeDir {
public:
    RuntimeDir();
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
};

} // namespace testkit
