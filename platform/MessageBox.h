#pragma once

#include <QString>

// Modal message boxes. The style number is a button set (0 = OK, 4 = Yes and No) plus an icon
// (16 stop, 32 question, 48 exclamation, 64 information) plus the default button: the first,
// unless 256 makes it the second.
namespace platform {

namespace MsgStyle {
constexpr int OkOnly = 0;
constexpr int YesNo = 4;
constexpr int Critical = 16;
constexpr int Question = 32;
constexpr int Exclamation = 48;
constexpr int Information = 64;
constexpr int DefaultButton2 = 256;
} // namespace MsgStyle

namespace MsgAnswer {
constexpr int Ok = 1;
constexpr int Yes = 6;
constexpr int No = 7;
} // namespace MsgAnswer

class MessageBoxProvider {
public:
    virtual ~MessageBoxProvider() = default;
    virtual int show(const QString& text, const QString& title, int style) = 0;
};

// The application's title, shown by a box whose title is not given.
QString applicationTitle();

// Shows a box and returns the answer (Ok 1, Yes 6, No 7). An empty title shows applicationTitle().
int MsgBox(const QString& text, int style = MsgStyle::OkOnly, const QString& title = {});

// Replaces the real boxes (nullptr restores them). The provider stays owned by the caller.
void setMessageBoxProvider(MessageBoxProvider* provider);

} // namespace platform
