// Draws the program's artwork: the window icon (16, 32 and 48 pixels), the same icon at 128 and
// 256 pixels for the desktop's menus (installed from dist/) and the About box's picture
// (150 x 142, JPEG). The generated files are committed; run this only to redraw them:
//   cmake --build build --target draw_artwork && build/draw_artwork .

#include <QColor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTransform>
#include <cmath>
#include <cstdio>

namespace {

const QColor Teal(0, 192, 192);
const QColor DeepTeal(0, 96, 104);
const QColor Gold(255, 214, 0);
const QColor DarkGold(150, 104, 0);
const QColor Silver(236, 240, 244);
const QColor DarkSilver(70, 84, 96);

// One oval chain link lying along the x axis, centred on the origin.
QPainterPath linkShape(qreal length, qreal width)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(-length / 2, -width / 2, length, width), width / 2, width / 2);
    return path;
}

// A link as a metal ring: a dark rim, the metal, and a thin highlight along the upper side.
void strokeLink(QPainter& p, const QPainterPath& shape, qreal thickness, const QColor& metal, const QColor& rim)
{
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rim, thickness + qMax<qreal>(1.0, thickness * 0.35), Qt::SolidLine, Qt::RoundCap));
    p.drawPath(shape);
    p.setPen(QPen(metal, thickness, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(shape);
    if (thickness >= 3) {
        p.save();
        p.translate(0, -thickness * 0.18);
        p.setPen(QPen(metal.lighter(150), thickness * 0.22, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(shape);
        p.restore();
    }
}

// Two links joined: the first passes over the second at its upper crossing and under it at the
// lower one, so they read as interlocked.
void drawChain(QPainter& p, QPointF centre, qreal angleDegrees, qreal length, qreal width, qreal thickness)
{
    const qreal shift = length * 0.31;
    const QPainterPath first = linkShape(length, width).translated(-shift, 0);
    const QPainterPath second = linkShape(length, width).translated(shift, 0);

    p.save();
    p.translate(centre);
    p.rotate(angleDegrees);
    strokeLink(p, first, thickness, Gold, DarkGold);
    strokeLink(p, second, thickness, Silver, DarkSilver);
    const qreal overlapLeft = shift - length / 2 - thickness;
    const qreal overlapRight = -shift + length / 2 + thickness;
    p.setClipRect(QRectF(overlapLeft, -width, overlapRight - overlapLeft, width));
    strokeLink(p, first, thickness, Gold, DarkGold);
    p.restore();
}

QImage drawIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal s = size;
    const QRectF tile(0.5, 0.5, s - 1, s - 1);
    QLinearGradient sea(tile.topLeft(), tile.bottomRight());
    sea.setColorAt(0, Teal.lighter(125));
    sea.setColorAt(1, DeepTeal);
    p.setPen(QPen(DeepTeal.darker(160), 1));
    p.setBrush(sea);
    p.drawRoundedRect(tile, s * 0.18, s * 0.18);

    // Small sizes get fewer, bolder strokes so the links stay readable.
    const qreal thickness = size <= 16 ? 2.0 : s * 0.085;
    drawChain(p, QPointF(s / 2, s / 2), -45, s * 0.62, s * 0.34, thickness);
    p.end();
    return image;
}

QImage drawPicture()
{
    const int w = 150;
    const int h = 142;
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(224, 248, 248));
    sky.setColorAt(1, QColor(120, 210, 210));
    p.fillRect(image.rect(), sky);

    // A globe behind the chain: the web the links lead into.
    const QPointF globeCentre(62, 62);
    const qreal r = 48;
    QRadialGradient ocean(globeCentre - QPointF(16, 18), r * 1.5);
    ocean.setColorAt(0, QColor(150, 210, 255));
    ocean.setColorAt(1, QColor(20, 80, 170));
    p.setPen(QPen(QColor(10, 50, 110), 1.5));
    p.setBrush(ocean);
    p.drawEllipse(globeCentre, r, r);

    p.save();
    QPainterPath globe;
    globe.addEllipse(globeCentre, r, r);
    p.setClipPath(globe);
    p.setPen(QPen(QColor(255, 255, 255, 120), 1.2));
    p.setBrush(Qt::NoBrush);
    for (qreal k : {0.35, 0.75})
        p.drawEllipse(globeCentre, r * k, r);
    p.drawLine(QPointF(globeCentre.x(), globeCentre.y() - r), QPointF(globeCentre.x(), globeCentre.y() + r));
    for (qreal y : {-0.55, 0.0, 0.55}) {
        const qreal half = r * std::sqrt(1 - y * y);
        p.drawLine(QPointF(globeCentre.x() - half, globeCentre.y() + y * r),
                   QPointF(globeCentre.x() + half, globeCentre.y() + y * r));
    }
    p.restore();

    // A bookmark ribbon hanging from the top edge.
    QPainterPath ribbon;
    ribbon.moveTo(112, 0);
    ribbon.lineTo(136, 0);
    ribbon.lineTo(136, 46);
    ribbon.lineTo(124, 36);
    ribbon.lineTo(112, 46);
    ribbon.closeSubpath();
    QLinearGradient cloth(112, 0, 136, 0);
    cloth.setColorAt(0, QColor(200, 20, 20));
    cloth.setColorAt(0.5, QColor(240, 60, 50));
    cloth.setColorAt(1, QColor(170, 10, 10));
    p.setPen(QPen(QColor(110, 0, 0), 1));
    p.setBrush(cloth);
    p.drawPath(ribbon);

    // The chain across the lower right, with a soft shadow under it.
    const QPointF chainCentre(90, 94);
    const qreal angle = -30;
    const qreal length = 64;
    const qreal width = 30;
    const qreal thickness = 7.5;
    p.save();
    p.setOpacity(0.25);
    p.translate(chainCentre + QPointF(3, 4));
    p.rotate(angle);
    p.setPen(QPen(Qt::black, thickness + 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    for (qreal side : {-1.0, 1.0})
        p.drawPath(linkShape(length, width).translated(side * length * 0.31, 0));
    p.restore();
    drawChain(p, chainCentre, angle, length, width, thickness);

    p.end();
    return image;
}

bool save(const QImage& image, const QString& path, const char* format, int quality = -1)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()) || !image.save(path, format, quality)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("wrote %s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_artwork <source folder>\n");
        return 2;
    }
    const QDir source(QString::fromLocal8Bit(argv[1]));
    bool ok = true;
    for (int size : {16, 32, 48})
        ok &= save(drawIcon(size), source.filePath(QStringLiteral("windowkit/icons/tessary-%1.png").arg(size)),
                   "PNG");
    for (int size : {128, 256})
        ok &= save(drawIcon(size), source.filePath(QStringLiteral("dist/icons/tessary-%1.png").arg(size)), "PNG");
    ok &= save(drawPicture(), source.filePath(QStringLiteral("forms/about/Picture1.jpg")), "JPEG", 90);
    return ok ? 0 : 1;
}
