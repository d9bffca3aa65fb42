#pragma once

#include <QString>

// Hands a web address, a mailto: address or a document to the desktop's opener, without waiting
// and without reporting anything.
namespace platform {

class Opener {
public:
    virtual ~Opener() = default;
    virtual void open(const QString& target) = 0;
};

void shellOpen(const QString& target);

// What the desktop opener receives for a target: an address without a scheme that a Windows
// shell would take for a web address ("www.example.org") gains "http://"; anything else as is.
QString openerArgument(const QString& target);

// Replaces the real opener (nullptr restores it). The opener stays owned by the caller.
void setOpener(Opener* opener);

} // namespace platform
