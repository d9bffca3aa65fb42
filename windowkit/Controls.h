#pragma once

#include <QString>

class QFont;
class QLabel;
class QPushButton;
class QWidget;

// The labels and buttons every window builds: named after their designer names, in the given font.
// Screen readers hear what a label or button shows at the moment, so neither gets a fixed
// accessible name.
namespace Controls {

// A label whose text is shown as typed, never read as markup.
QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QFont& font);

// autoDefault: Enter on the focused button presses it, as users of desktop dialogs expect.
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QFont& font,
                    bool autoDefault);

} // namespace Controls
