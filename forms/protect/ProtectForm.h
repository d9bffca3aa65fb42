#pragma once

#include "windowkit/Form.h"

class QLabel;
class QLineEdit;
class QPushButton;

// What the welcome, protection-choice, credentials, log-in and options windows share: a frame
// whose title bar shows only the caption, the teal background, the program's small sans font,
// and a default button that Enter presses. (Form centres every window when it first shows.)
class ProtectForm : public Form {
    Q_OBJECT

public:
    enum class Frame { Fixed, Sizable };

    // The client area is given in twips; a fixed frame cannot be resized by the user.
    ProtectForm(const QString& caption, Frame frame, int widthTwips, int heightTwips);

protected:
    // A push button of this window: focused, it answers Enter itself, as desktop buttons do.
    QPushButton* makeButton(const QString& name, const QString& caption);
    QLabel* makeLabel(const QString& name, const QString& caption);
    // A one-line text box taking at most maxLength characters, masked with "*" when asked.
    QLineEdit* makeTextBox(const QString& name, const QString& accessibleName, int maxLength, bool masked);
};
