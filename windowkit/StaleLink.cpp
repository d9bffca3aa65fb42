#include "windowkit/StaleLink.h"

#include "platform/MessageBox.h"

namespace StaleLink {

namespace {

void say(const QString& what)
{
    platform::MsgBox(QStringLiteral("This site link was deleted or changed meanwhile, so %1. The list now shows "
                                    "the links as they are.")
                         .arg(what),
                     platform::MsgStyle::Exclamation, QStringLiteral("Warning"));
}

} // namespace

void sayNothingDone()
{
    say(QStringLiteral("nothing was done"));
}

void sayNotSaved()
{
    say(QStringLiteral("your changes were not saved"));
}

} // namespace StaleLink
