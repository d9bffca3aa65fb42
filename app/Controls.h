#pragma once

#include <QString>

class QFont;
class QLabel;
class QPushButton;
class QWidget;

// The labels and buttons every window builds: named after their designer names, with an
// accessible name for screen readers (and tests), in the given font.
namespace Controls {

// A label whose text is shown as typed, never read as markup. Its accessible name is the caption,
// or the control's name while it has no caption.
QLabel* label(QWidget* parent, const QString& name, const QString& caption, const QFont& font);

// autoDefault: Enter on the focused button presses it, as users of desktop dialogs expect.
QPushButton* button(QWidget* parent, const QString& name, const QString& caption, const QFont& font,
                    bool autoDefault);

} // namespace Controls
