#include "app/frmMain.h"
#include "online/Settings.h"
#include "platform/ShellOpen.h"

void frmMain::mnuFourm_Click()
{
    platform::shellOpen(online::ForumAddress);
}

void frmMain::mnuEmail_Click()
{
    // The subject goes out exactly as written; mail programs accept the unencoded space.
    platform::shellOpen(QStringLiteral("mailto:") + online::SupportEmail +
                        QStringLiteral("?Subject=Orvane Tessary"));
}
