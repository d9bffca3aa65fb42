#include "app/frmMain.h"
#include "online/Settings.h"
#include "platform/Http.h"
#include "platform/MessageBox.h"
#include "platform/ShellOpen.h"

#include <QApplication>
#include <QLabel>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QUrl>
#include <optional>

namespace {

// This build as the version file counts releases; not derived from the title's 1.0.0.
constexpr int ThisBuild = 100;

const QString ConnectError = QStringLiteral("Error Connecting To Server... Please Try Again Later...");
const QString NoUpgrades = QStringLiteral("No New Upgrades Available At This Time...");
const QString NewerVersion =
    QStringLiteral("There is a Newer version of this software!  Would you like to download and install it now?");
const QString AutoUpdateTitle = QStringLiteral("Orvane Tessary AutoUpdate");

// Any step of the check that goes wrong; they all end in the same message.
struct CheckFailed {};

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

void frmMain::mnuUpdates_Click()
{
    try {
        platform::HttpReply reply;
        {
            // The wait can last up to the time-out: the cursor shows that the program is working.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            const auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
            reply = platform::httpGet(QUrl(online::versionFileUrl()), Inet1RequestTimeoutMs);
        }
        // An error status is no version file, even when its page happens to read as a number.
        if (!reply.ok)
            throw CheckFailed{};
        lblupdate->setText(reply.body);
        const QString newest = lblupdate->text();
        repaint();

        if (newest.isEmpty()) {
            platform::MsgBox(ConnectError);
            return;
        }
        const std::optional<double> number = releaseNumber(newest);
        if (!number)
            throw CheckFailed{};
        if (*number == ThisBuild) {
            platform::MsgBox(NoUpgrades);
            return;
        }

        repaint();
        if (platform::MsgBox(NewerVersion, platform::MsgStyle::YesNo + platform::MsgStyle::Question,
                             AutoUpdateTitle) != platform::MsgAnswer::Yes)
            return;
        platform::shellOpen(online::downloadPageUrl());
        unload();
    } catch (...) {
        // Nothing of the check may reach the unexpected-failure rule: the program goes on.
        platform::MsgBox(ConnectError);
        repaint();
    }
}
