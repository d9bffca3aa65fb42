#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// The look the link-editing windows share: the desktop faces that stand in for the Windows ones,
// the window and box colours, and a start position centred on the screen.
namespace editlook {

inline const QColor windowColour{0, 192, 192};
inline const QColor boxColour{255, 255, 0};

// "MS Sans Serif" on this desktop.
QFont sansSerif(qreal pointSize, bool bold, bool underline = false);
// "Arial" on this desktop.
QFont arial(qreal pointSize, bool bold);

// The window's own surface.
void fillBackground(QWidget* window, const QColor& colour);
// The writing surface of a text box or list.
void fillBox(QWidget* box, const QColor& colour);
void centreOnScreen(QWidget* window);

}  // namespace editlook
