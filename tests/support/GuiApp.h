#pragma once

// A GUI application for engine test programs that measure device fonts: Qt's font
// database needs one. Made on first use, on the offscreen platform.

#include <QGuiApplication>

namespace lanfan::test {

inline void ensureGuiApplication()
{
    if (QGuiApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "lanfan-tests";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

} // namespace lanfan::test
