#pragma once

#include <QColor>
#include <QFont>

class QWidget;

// The program's colours and the faces that stand in for the classic desktop fonts.
namespace Look {

inline const QColor Background{0, 192, 192};  // every window
inline const QColor EntryYellow{255, 255, 0}; // lists and entry boxes
inline const QColor DarkRed{192, 0, 0};       // values shown next to their captions

// "MS Sans Serif" and "Arial": the nearest installed sans-serif face.
QFont sansSerif(qreal pointSize, bool bold = false, bool underline = false);
// "Algerian": a serif face in capitals, the nearest installed display face.
QFont display(qreal pointSize, bool bold = false);

// Paints the widget's own background in a colour (windows, lists, entry boxes).
void setBackground(QWidget* widget, const QColor& colour);
void setTextColour(QWidget* widget, const QColor& colour);

} // namespace Look
