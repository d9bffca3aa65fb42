#pragma once

#include <QString>

// The check for a newer release: one GET of the version file on the maker's host.
namespace online {

inline const QString ConnectError = QStringLiteral("Error Connecting To Server... Please Try Again Later...");
inline const QString NoUpgrades = QStringLiteral("No New Upgrades Available At This Time...");
inline const QString NewerVersion =
    QStringLiteral("There is a Newer version of this software!  Would you like to download and install it now?");
inline const QString AutoUpdateTitle = QStringLiteral("Orvane Tessary AutoUpdate");

struct UpdateCheck {
    enum Outcome {
        Failed,   // no reply, an error status, a reply too long, or no number in it
        Empty,    // the version file was empty
        UpToDate, // the newest release is this one
        Newer,    // another release is there
    };
    Outcome outcome = Failed;
    bool replied = false; // the server sent the version file (even one that reads as no number)
    QString reply;        // its text, when replied
};

// Fetches and reads the version file, showing the busy cursor meanwhile. Never throws.
UpdateCheck checkForUpdates(int timeoutMs);

} // namespace online
