#include "online/Settings.h"

namespace online {

namespace {
QString g_webHost;
} // namespace

QString webHost()
{
    return g_webHost.isEmpty() ? DefaultWebHost : g_webHost;
}

void setWebHost(const QString& host)
{
    g_webHost = host;
}

QString versionFileUrl()
{
    return QStringLiteral("http://") + webHost() + QStringLiteral("/version/tessaryupdate.txt");
}

QString downloadPageUrl()
{
    return QStringLiteral("http://") + webHost() + QStringLiteral("/tessary.asp");
}

} // namespace online
