#include "forms/edit/EditLook.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace editlook {

namespace {
QFont face(const QString& family, qreal pointSize, bool bold, bool underline)
{
    QFont font(family);
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setUnderline(underline);
    return font;
}
}  // namespace

QFont sansSerif(qreal pointSize, bool bold, bool underline)
{
    return face(QStringLiteral("DejaVu Sans"), pointSize, bold, underline);
}

QFont arial(qreal pointSize, bool bold)
{
    return face(QStringLiteral("Liberation Sans"), pointSize, bold, false);
}

void fillBackground(QWidget* window, const QColor& colour)
{
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, colour);
    window->setPalette(palette);
    window->setAutoFillBackground(true);
}

void fillBox(QWidget* box, const QColor& colour)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base, colour);
    box->setPalette(palette);
}

void centreOnScreen(QWidget* window)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame(QPoint(), window->size());
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

}  // namespace editlook
