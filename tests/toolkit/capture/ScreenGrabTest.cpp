#include "tests/support/QtApp.h"

#include "toolkit/ScreenGrab.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QTest>
#include <QWidget>

using namespace lanfan;

namespace {

TEST(ScreenGrabTest, DepthsCountAsTheBitsTheirPixelsAreStoredIn)
{
    EXPECT_EQ(storedBitsPerPixel(32), 32);
    EXPECT_EQ(storedBitsPerPixel(30), 32);
    EXPECT_EQ(storedBitsPerPixel(24), 32);
    EXPECT_EQ(storedBitsPerPixel(16), 16);
    EXPECT_EQ(storedBitsPerPixel(15), 16);
    EXPECT_EQ(storedBitsPerPixel(8), 8);
    EXPECT_EQ(storedBitsPerPixel(4), 4);
    EXPECT_EQ(storedBitsPerPixel(1), 1);

    test::qtApp();
    const int bits = displayBitsPerPixel();
    EXPECT_TRUE(bits == 32 || bits == 16 || bits == 8 || bits == 4 || bits == 1) << bits;
}

TEST(ScreenGrabTest, RectangleWithoutAreaGivesNoImage)
{
    test::qtApp();
    EXPECT_TRUE(grabScreen(QRect(10, 10, 0, 20)).isNull());
    EXPECT_TRUE(grabScreen(QRect(10, 10, 20, 0)).isNull());
    // A rectangle whose right lies left of its left edge.
    EXPECT_TRUE(grabScreen(QRect(QPoint(50, 10), QPoint(20, 40))).isNull());
}

TEST(ScreenGrabTest, RectangleOffEveryScreenGivesBlackOfItsSize)
{
    test::qtApp();
    QRect desktop;
    for (QScreen* screen : QGuiApplication::screens())
        desktop |= screen->geometry();
    const QImage image = grabScreen(QRect(desktop.right() + 1000, desktop.bottom() + 1000, 7, 5));
    ASSERT_EQ(image.size(), QSize(7, 5));
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 7; ++x)
            ASSERT_EQ(image.pixel(x, y) & 0xFFFFFF, 0u) << x << "," << y;
}

TEST(ScreenGrabTest, ReadsTheWindowShownThereAndBlackBeyondTheScreen)
{
    test::qtApp();
    QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    const QRgb colour = qRgb(200, 40, 90);
    QWidget window;
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setAutoFillBackground(true);
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(colour));
    window.setPalette(palette);
    // Against the screen's left edge, so a rectangle can straddle it.
    const QRect area = screen->geometry();
    window.setGeometry(area.left(), area.top() + 40, 60, 30);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const QPoint inside = window.mapToGlobal(QPoint(2, 5));
    ASSERT_TRUE(QTest::qWaitFor([&] { return grabScreen(QRect(inside, QSize(1, 1))).pixel(0, 0) == colour; }))
        << "the window never showed on the screen";

    // The left half lies off the screen and comes back black; the right half is the
    // window as the screen shows it.
    const QImage image = grabScreen(QRect(area.left() - 8, inside.y(), 16, 4));
    ASSERT_EQ(image.size(), QSize(16, 4));
    EXPECT_EQ(image.pixel(0, 0) & 0xFFFFFF, 0u);
    EXPECT_EQ(image.pixel(7, 3) & 0xFFFFFF, 0u);
    EXPECT_EQ(image.pixel(8, 0), colour);
    EXPECT_EQ(image.pixel(15, 3), colour);
}

} // namespace
