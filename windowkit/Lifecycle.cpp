#include "windowkit/Lifecycle.h"

#include "platform/MessageBox.h"
#include "windowkit/Forms.h"

#include <QCoreApplication>

namespace kit {

namespace {
bool g_ended = false;
int g_exitCode = 0;
int g_life = 0;
} // namespace

void endApplication(int code)
{
    if (g_ended)
        return;
    g_ended = true;
    g_exitCode = code;
    Forms::discardAll();
    QCoreApplication::exit(code);
}

bool hasEnded()
{
    return g_ended;
}

int exitCode()
{
    return g_exitCode;
}

void resetForTests()
{
    Forms::discardAll();
    g_ended = false;
    g_exitCode = 0;
    ++g_life;
}

int life()
{
    return g_life;
}

void failUnexpected(int number, const QString& description)
{
    if (g_ended)
        return;
    platform::MsgBox(QStringLiteral("Run-time error '%1':\n\n%2").arg(number).arg(description),
                     platform::MsgStyle::Critical);
    endApplication(1);
}

} // namespace kit
