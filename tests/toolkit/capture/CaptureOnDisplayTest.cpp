// The capture on a real X display: a window of known colours is grabbed from the screen,
// saved at the display's depth, and the file's pixels are compared with the screen's.
// scripts/check-capture runs this under Xvfb at several depths; elsewhere it is skipped.

#include "tests/support/QtApp.h"
#include "tests/toolkit/capture/BmpBytes.h"

#include "toolkit/ScreenGrab.h"
#include "toolkit/TBitmap.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTest>
#include <QWidget>

#include <cstdlib>

using namespace lanfan;
using lanfan::test::fileBytes;
using lanfan::test::pixelOffset;
using lanfan::test::u16At;
using lanfan::test::u32At;

namespace {

// The player area of the default window.
constexpr QSize areaSize(518, 282);

// Four quarters of solid colour and a grey ramp across the bottom.
class ColourCard : public QWidget {
public:
    static QRgb quarterColour(int quarter)
    {
        static const QRgb colours[] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
        return colours[quarter];
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const int w = width() / 2, h = (height() - 40) / 2;
        for (int q = 0; q < 4; ++q)
            painter.fillRect(QRect((q % 2) * w, (q / 2) * h, w, h), QColor(quarterColour(q)));
        for (int x = 0; x < width(); ++x)
            painter.fillRect(QRect(x, height() - 40, 1, 40), QColor(x * 255 / (width() - 1), 128, 255 - x * 255 / (width() - 1)));
    }
};

// A screen colour as the file stores it at `bits` per pixel.
QRgb storedColour(QRgb screen, int bits)
{
    if (bits != 16)
        return screen & 0xFFFFFF;
    return qRgb(qRed(screen) >> 3, qGreen(screen) >> 3, qBlue(screen) >> 3) & 0xFFFFFF;
}

// The colour of pixel (x, y) read straight from the file's bytes.
QRgb fileColour(const QByteArray& bytes, int x, int y, int bits)
{
    const qsizetype at = pixelOffset(bytes, y, qsizetype(x) * bits / 8);
    if (bits == 16) {
        const uint32_t v = u16At(bytes, at);
        return qRgb(int((v >> 10) & 31), int((v >> 5) & 31), int(v & 31)) & 0xFFFFFF;
    }
    return qRgb(uint8_t(bytes[at + 2]), uint8_t(bytes[at + 1]), uint8_t(bytes[at])) & 0xFFFFFF;
}

TEST(CaptureOnDisplayTest, FileHoldsThePixelsTheScreenShows)
{
    const char* outDir = std::getenv("LANFAN_CAPTURE_CHECK_DIR");
    if (!outDir) {
        GTEST_SKIP() << "run by scripts/check-capture on an X display";
    }
    test::qtApp();
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));

    const int bits = displayBitsPerPixel();
    if (const char* expected = std::getenv("LANFAN_CAPTURE_EXPECT_BPP")) {
        EXPECT_EQ(bits, std::atoi(expected));
    }

    ColourCard card;
    card.setWindowFlag(Qt::FramelessWindowHint);
    card.setGeometry(QRect(QPoint(120, 90), areaSize));
    card.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&card));
    const QRect area(card.mapToGlobal(QPoint(0, 0)), areaSize);
    ASSERT_TRUE(QTest::qWaitFor([&] {
        QImage probe = grabScreen(QRect(area.topLeft() + QPoint(5, 5), QSize(1, 1)));
        return !probe.isNull() && (probe.pixel(0, 0) & 0xFFFFFF) == 0xFF0000;
    })) << "the window never showed on the screen";

    const QImage screen = grabScreen(area);
    ASSERT_EQ(screen.size(), areaSize);
    TBitmap bitmap;
    bitmap.setHandle(screen, bits);
    const QString path = QDir(QString::fromLocal8Bit(outDir)).filePath(QStringLiteral("capture-%1.bmp").arg(bits));
    bitmap.SaveToFile(path);

    // The same rectangle read by another program, for the script to compare with.
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    QProcess::execute(QStringLiteral("import"), {"-window", "root", "-crop", crop, "+repage",
                                                 QDir(QString::fromLocal8Bit(outDir)).filePath(QStringLiteral("screen-%1.png").arg(bits))});

    const QByteArray bytes = fileBytes(path);
    const uint32_t rowBytes = uint32_t((areaSize.width() * bits + 31) / 32 * 4);
    ASSERT_EQ(bytes.size(), qsizetype(54 + rowBytes * uint32_t(areaSize.height())));
    EXPECT_EQ(u32At(bytes, 18), uint32_t(areaSize.width()));
    EXPECT_EQ(u32At(bytes, 22), uint32_t(areaSize.height()));
    EXPECT_EQ(u16At(bytes, 28), uint32_t(bits));

    // Every pixel of the file is the screen's, at the file's precision.
    int mismatches = 0;
    for (int y = 0; y < areaSize.height(); ++y)
        for (int x = 0; x < areaSize.width(); ++x)
            if (fileColour(bytes, x, y, bits) != storedColour(screen.pixel(x, y), bits) && ++mismatches < 5)
                ADD_FAILURE() << "pixel " << x << "," << y;
    EXPECT_EQ(mismatches, 0);

    // And the screen showed the card: the middle of each quarter has its colour.
    const int w = areaSize.width() / 2, h = (areaSize.height() - 40) / 2;
    for (int q = 0; q < 4; ++q) {
        const int x = (q % 2) * w + w / 2, y = (q / 2) * h + h / 2;
        EXPECT_EQ(fileColour(bytes, x, y, bits), storedColour(ColourCard::quarterColour(q), bits)) << "quarter " << q;
    }
}

} // namespace
