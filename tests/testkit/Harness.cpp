#include "testkit/Harness.h"

#include <QElapsedTimer>
#include <QFile>

namespace testkit {

Harness::Harness(const QString& folder, const QString& runtimeDir)
    : m_env(QProcessEnvironment::systemEnvironment())
{
    m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_env.insert(QStringLiteral("TESSARY_HARNESS_FOLDER"), folder);
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
}

Harness::~Harness()
{
    kill();
}

void Harness::setAnswers(const QList<int>& answers)
{
    QStringList texts;
    for (int answer : answers)
        texts.append(QString::number(answer));
    m_env.insert(QStringLiteral("TESSARY_HARNESS_ANSWERS"), texts.join(QLatin1Char(',')));
}

void Harness::setEnv(const QString& name, const QString& value)
{
    m_env.insert(name, value);
}

bool Harness::setScript(const QStringList& lines)
{
    const QString path = m_scriptDir.filePath(QStringLiteral("script.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text) ||
        file.write(lines.join(QLatin1Char('\n')).toUtf8()) < 0)
        return false;
    m_env.insert(QStringLiteral("TESSARY_HARNESS_SCRIPT"), path);
    return true;
}

void Harness::start()
{
    m_process.setProcessEnvironment(m_env);
    m_process.start(QStringLiteral(HARNESS_EXE), {});
    m_process.waitForStarted(30000);
}

void Harness::readAvailable()
{
    m_partial += QString::fromUtf8(m_process.readAllStandardOutput());
    qsizetype end;
    while ((end = m_partial.indexOf(QLatin1Char('\n'))) >= 0) {
        m_lines.append(m_partial.left(end));
        m_partial.remove(0, end + 1);
    }
    m_stderr += QString::fromUtf8(m_process.readAllStandardError());
}

QString Harness::waitForLine(const QString& prefix, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        readAvailable();
        for (; m_taken < m_lines.size(); ++m_taken) {
            if (m_lines[m_taken].startsWith(prefix))
                return m_lines[m_taken++];
        }
        if (clock.elapsed() > timeoutMs)
            return {};
        if (m_process.state() == QProcess::NotRunning) {
            readAvailable();
            if (m_taken >= m_lines.size())
                return {};
            continue;
        }
        m_process.waitForReadyRead(100);
    }
}

bool Harness::waitForExit(int timeoutMs)
{
    const bool ended = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs);
    readAvailable();
    return ended;
}

void Harness::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(30000);
    }
    readAvailable();
}

QStringList Harness::lines()
{
    readAvailable();
    return m_lines;
}

QList<Harness::Box> Harness::boxes()
{
    QList<Box> found;
    for (const QString& line : lines()) {
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.size() >= 4 && fields[0] == QLatin1String("BOX"))
            found.append({fields[1].toInt(), fields[2], fields.mid(3).join(QLatin1Char('\t'))});
    }
    return found;
}

QStringList Harness::windowsShown()
{
    for (const QString& line : lines()) {
        if (line.startsWith(QLatin1String("WINDOWS\t")))
            return line.mid(8).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return {};
}

int Harness::exitCode() const
{
    return m_process.exitCode();
}

bool Harness::crashed() const
{
    return m_process.exitStatus() == QProcess::CrashExit;
}

QString Harness::stderrText()
{
    readAvailable();
    return m_stderr;
}

RuntimeDir::RuntimeDir()
{
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

} // namespace testkit
