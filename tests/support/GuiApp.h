#pragma once

// A GUI application for engine test programs that measure device fonts or paint: Qt's
// font database and painter need one. Made on first use, on the offscreen platform
// unless QT_QPA_PLATFORM names another.

#include <QGuiApplication>

#include <cstdlib>

namespace lanfan::test {

inline void ensureGuiApplication()
{
    if (QCoreApplication::instance())
        return;
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "lanfan-tests";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
}

} // namespace lanfan::test
