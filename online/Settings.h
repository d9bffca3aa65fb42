#pragma once

#include <QString>

// Where the program reaches its maker: the web host of the update check, the support forum and
// the support e-mail address. We own no domain, so these are reserved example names.
namespace online {

inline const QString DefaultWebHost = QStringLiteral("tessary.example.com");
inline const QString ForumAddress = QStringLiteral("http://forum.tessary.example.com");
inline const QString SupportEmail = QStringLiteral("support@tessary.example.com");

// The host (with an optional ":port") that serves the version file and the download page.
QString webHost();
// Points the update check at another host, e.g. "127.0.0.1:8080"; an empty text restores the default.
void setWebHost(const QString& host);

QString versionFileUrl();  // holds the newest release's number
QString downloadPageUrl(); // where a newer release is downloaded

} // namespace online
