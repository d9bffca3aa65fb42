#include "platform/ShellOpen.h"

#include <QProcess>

namespace platform {

namespace {

class DesktopOpener : public Opener {
public:
    void open(const QString& target) override
    {
        // Detached: the browser or mail program outlives us and we never wait for it.
        QProcess::startDetached(QStringLiteral("xdg-open"), {openerArgument(target)});
    }
};

Opener* g_opener = nullptr;

} // namespace

QString openerArgument(const QString& target)
{
    // No scheme starts with "www.", so "www.example.org:8080" is a host and port, not a scheme.
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QStringLiteral("http://") + target;
    return target;
}

void shellOpen(const QString& target)
{
    static DesktopOpener real;
    (g_opener ? g_opener : &real)->open(target);
}

void setOpener(Opener* opener)
{
    g_opener = opener;
}

} // namespace platform
