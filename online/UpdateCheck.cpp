#include "online/UpdateCheck.h"

#include "online/Settings.h"
#include "platform/Http.h"

#include "TessaryVersion.h"

#include <QApplication>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>
#include <optional>

namespace online {

namespace {

// This build as the version file counts releases; not derived from the title's version.
constexpr int ThisBuild = release::UpdateNumber;

// The version file's number. Blanks and line breaks around it are allowed (a file saved by an
// editor ends in one), and so is a byte-order mark; anything else is not a number.
std::optional<double> releaseNumber(QString text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    static const QRegularExpression number(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    text = text.trimmed();
    if (!number.match(text).hasMatch())
        return std::nullopt;
    return text.toDouble();
}

} // namespace

UpdateCheck checkForUpdates(int timeoutMs)
{
    UpdateCheck check;
    try {
        platform::HttpReply reply;
        {
            // The wait can last up to the time-out: the cursor shows that the program is working.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
            reply = platform::httpGet(QUrl(versionFileUrl()), timeoutMs);
        }
        // An error status is no version file, even when its page happens to read as a number.
        if (!reply.ok)
            return check;
        check.replied = true;
        check.reply = reply.body;
        if (reply.body.isEmpty()) {
            check.outcome = UpdateCheck::Empty;
            return check;
        }
        const std::optional<double> number = releaseNumber(reply.body);
        if (number)
            check.outcome = *number == ThisBuild ? UpdateCheck::UpToDate : UpdateCheck::Newer;
    } catch (...) {
        // Nothing of the check may reach the unexpected-failure rule: the program goes on.
        check.outcome = UpdateCheck::Failed;
    }
    return check;
}

} // namespace online
