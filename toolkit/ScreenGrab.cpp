#include "toolkit/ScreenGrab.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmap>
#include <QScreen>

namespace lanfan {

int storedBitsPerPixel(int colourDepth)
{
    if (colourDepth > 16)
        return 32;  // 24 colour bits (or 30) sit in 32-bit pixels
    if (colourDepth > 8)
        return 16;  // 15 and 16 both use 16-bit pixels
    if (colourDepth > 4)
        return 8;
    if (colourDepth > 1)
        return 4;
    return 1;
}

int displayBitsPerPixel()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return storedBitsPerPixel(screen ? screen->depth() : 32);
}

namespace {

// The part of `wanted` that `screen` shows, as the screen's platform reads it. On X11
// the whole desktop is one root window addressed in desktop coordinates; elsewhere a
// screen's own grab is addressed from its top-left corner.
QImage grabFromScreen(QScreen& screen, QRect part)
{
    QPoint origin = part.topLeft();
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        origin -= screen.geometry().topLeft();
    QPixmap pixels = screen.grabWindow(0, origin.x(), origin.y(), part.width(), part.height());
    if (pixels.isNull())
        return {};
    QImage image = pixels.toImage();
    // On a scaled screen the platform hands back device pixels; bring them back to the
    // rectangle's size so the file is as wide and high as the area on screen.
    if (image.size() != part.size())
        image = image.scaled(part.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return image;
}

} // namespace

QImage grabScreen(QRect screenRect)
{
    if (screenRect.width() <= 0 || screenRect.height() <= 0)
        return {};
    QImage result(screenRect.size(), QImage::Format_RGB32);
    if (result.isNull())
        return {};
    result.fill(Qt::black);

    QPainter painter(&result);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (QScreen* screen : QGuiApplication::screens()) {
        QRect part = screenRect & screen->geometry();
        if (part.isEmpty())
            continue;
        QImage pixels = grabFromScreen(*screen, part);
        if (!pixels.isNull())
            painter.drawImage(part.topLeft() - screenRect.topLeft(), pixels);
    }
    return result;
}

} // namespace lanfan
