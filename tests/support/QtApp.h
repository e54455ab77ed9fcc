#pragma once

// The QApplication of a test program. Programs that use widgets link the Qt test main
// (support/qt/QtTestMain.cpp), which creates it in main; qtApp() creates one on first
// use only in programs without it. Without a display the offscreen platform is used.

#include <QApplication>

#include <cstdlib>

namespace lanfan::test {

inline QApplication& qtApp()
{
    if (auto* existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
        return *existing;
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char arg0[] = "lanfan-tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication app(argc, argv);
    return app;
}

} // namespace lanfan::test
