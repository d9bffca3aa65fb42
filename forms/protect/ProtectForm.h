#pragma once

#include "windowkit/Form.h"

class QKeyEvent;
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
    // Marks the button as the window's default: Enter in a text box or on the window presses it.
    void setDefaultButton(QPushButton* button);
    // A push button of this window: focused, it answers Enter itself, as desktop buttons do.
    QPushButton* makeButton(const QString& name, const QString& caption);
    QLabel* makeLabel(const QString& name, const QString& caption);
    // A one-line text box taking at most maxLength characters, masked with "*" when asked.
    QLineEdit* makeTextBox(const QString& name, const QString& accessibleName, int maxLength, bool masked);

    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* m_defaultButton = nullptr;
};
