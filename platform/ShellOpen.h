#pragma once

#include <QString>

// Opening an address with the desktop's default program (xdg-open), the one way every command
// opens one. Web and mail addresses (http:, https:, ftp:, mailto: in any letter case, and the
// www. ones a Windows shell opens as web addresses) go straight through. Anything else (another
// scheme, file:, a path) could run a program or open a file on this computer, so a Yes/No box
// whose default is No asks first; an empty one is said to be nothing to open. Nothing is ever
// handed over so that it reads as an option, and a failure to open is said: the opener that
// cannot be started, and the opener's own failure when it reports one within its first seconds
// (later its program, say a browser, is running, and how that ends is none of ours). The program
// never waits for the opener, and its end leaves the opened program running.
namespace platform {

class Opener {
public:
    virtual ~Opener() = default;
    // Starts the desktop's opener on the target; false when it cannot be started.
    virtual bool open(const QString& target) = 0;
};

void shellOpen(const QString& target);

// Whether the target goes to the opener without asking.
bool opensWithoutAsking(const QString& target);

// What the desktop opener receives for a target: an address without a scheme that a Windows
// shell would take for a web address ("www.example.org") gains "http://"; a text that starts
// with '-' (an option to the opener) is taken as a path in the working folder ("./-x"); anything
// else as is.
QString openerArgument(const QString& target);

// Replaces the real opener (nullptr restores it). The opener stays owned by the caller.
void setOpener(Opener* opener);

} // namespace platform
