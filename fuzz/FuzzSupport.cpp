#include "fuzz/FuzzSupport.h"

#include <QGuiApplication>

namespace lanfan::fuzz {

void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "lanfan-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

QImage smallCanvas()
{
    QImage image(48, 36, QImage::Format_ARGB32_Premultiplied);
    image.fill(0);
    return image;
}

} // namespace lanfan::fuzz
