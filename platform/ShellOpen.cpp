#include "platform/ShellOpen.h"

#include "platform/MessageBox.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>

namespace platform {

namespace {

const QString OpenTitle = QStringLiteral("Open Link");
const QString OpenerName = QStringLiteral("xdg-open");
// xdg-open answers at once when it cannot open a target; a failure reported later comes from the
// program it turned into, which was running by then.
constexpr qint64 kOpenerAnswerMs = 15000;

// The target as a box shows it: a long one shortened in the middle.
QString shown(const QString& target)
{
    constexpr qsizetype most = 200;
    return target.size() <= most ? target : target.left(most / 2) + QStringLiteral("...") + target.right(most / 2);
}

void sayNotOpened(const QString& target, const QString& why)
{
    MsgBox(QStringLiteral("\"%1\" could not be opened: %2").arg(shown(target), why), MsgStyle::Exclamation,
           OpenTitle);
}

class DesktopOpener : public Opener {
public:
    bool open(const QString& target) override
    {
        // Not detached, so that the opener's own failure is heard, and owned by nothing, so that
        // the program's end does not take down a browser the opener turned into; with no pipes to
        // us that such a browser could write into once we are gone.
        auto* process = new QProcess;
        process->setProgram(OpenerName);
        process->setArguments({openerArgument(target)});
        process->setStandardInputFile(QProcess::nullDevice());
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer started;
        started.start();
        QObject::connect(
            process, &QProcess::finished, process,
            [process, target, started](int code, QProcess::ExitStatus status) {
                process->deleteLater();
                if (status == QProcess::NormalExit && code != 0 && started.elapsed() < kOpenerAnswerMs)
                    sayNotOpened(target, QStringLiteral("the desktop found nothing to open it with (%1 "
                                                        "ended with code %2).")
                                             .arg(OpenerName)
                                             .arg(code));
            });
        process->start();
        if (process->waitForStarted())
            return true;
        delete process;
        return false;
    }
};

Opener* g_opener = nullptr;

} // namespace

bool opensWithoutAsking(const QString& target)
{
    static const QRegularExpression web(QStringLiteral("^(https?|ftp|mailto):|^www\\."),
                                        QRegularExpression::CaseInsensitiveOption);
    return web.match(target).hasMatch();
}

QString openerArgument(const QString& target)
{
    // No scheme starts with "www.", so "www.example.org:8080" is a host and port, not a scheme.
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QStringLiteral("http://") + target;
    if (target.startsWith(QLatin1Char('-')))
        return QStringLiteral("./") + target;
    return target;
}

void shellOpen(const QString& target)
{
    static DesktopOpener real;
    if (target.trimmed().isEmpty()) {
        MsgBox(QStringLiteral("There is no address to open."), MsgStyle::Information, OpenTitle);
        return;
    }
    if (!opensWithoutAsking(target) &&
        MsgBox(QStringLiteral("\"%1\" is not a web or e-mail address. Opening it hands it to this computer's "
                              "desktop, which may run a program or open a file with it.\r\rOpen it anyway?")
                   .arg(shown(target)),
               MsgStyle::YesNo + MsgStyle::Exclamation + MsgStyle::DefaultButton2, OpenTitle) != MsgAnswer::Yes)
        return;
    if (!(g_opener ? g_opener : &real)->open(target))
        sayNotOpened(target, QStringLiteral("the desktop's opener (%1) could not be started.").arg(OpenerName));
}

void setOpener(Opener* opener)
{
    g_opener = opener;
}

} // namespace platform
