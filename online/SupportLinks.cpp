#include "online/SupportLinks.h"

#include "online/Settings.h"
#include "platform/ShellOpen.h"

namespace online {

void openSupportForum()
{
    platform::shellOpen(ForumAddress);
}

void openSupportEmail()
{
    // The subject goes out exactly as written; mail programs accept the unencoded space.
    platform::shellOpen(QStringLiteral("mailto:") + SupportEmail + QStringLiteral("?Subject=Orvane Tessary"));
}

} // namespace online
