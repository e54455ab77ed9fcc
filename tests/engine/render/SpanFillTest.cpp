// Solid fills drawn by spanFill against Qt's own fill of the same path.

#include "engine/render/SpanFill.h"

#include <QImage>
#include <QPainter>
#include <QPolygonF>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

using namespace swf::render;

QPainterPath polygonPath(const QPolygonF& points, Qt::FillRule rule)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

// The same outline with every edge cut into `pieces` segments: the span fill takes
// only paths with many points for their size, as flattened curves and stroke outlines
// have.
QPainterPath finely(const QPainterPath& path, int pieces = 24)
{
    QPainterPath out;
    out.setFillRule(path.fillRule());
    for (const QPolygonF& polygon : path.toSubpathPolygons()) {
        QPolygonF fine;
        for (qsizetype i = 0; i + 1 < polygon.size(); ++i)
            for (int k = 0; k < pieces; ++k)
                fine << polygon[i] + (polygon[i + 1] - polygon[i]) * (double(k) / pieces);
        out.addPolygon(fine);
        out.closeSubpath();
    }
    return out;
}

QPolygonF circle(double cx, double cy, double r, int steps)
{
    QPolygonF p;
    for (int i = 0; i < steps; ++i)
        p << QPointF(cx + r * std::cos(2 * M_PI * i / steps), cy + r * std::sin(2 * M_PI * i / steps));
    return p;
}

QPolygonF star(double cx, double cy, double r)
{
    QPolygonF p;
    for (int i = 0; i < 5; ++i)
        p << QPointF(cx + r * std::cos(4 * M_PI * i / 5 - M_PI / 2), cy + r * std::sin(4 * M_PI * i / 5 - M_PI / 2));
    return p;
}

QImage background()
{
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qPremultiply(qRgba(x * 4, y * 5, 200 - x * 2, 128 + (x + y) % 128)));
    return image;
}

int largestDifference(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
        }
    return worst;
}

TEST(SpanFill, GivesQtsPixelsForSolidFills)
{
    const QTransform turned = QTransform().translate(30, 4).rotate(23).scale(1.3, 0.8);
    struct Case {
        const char* name;
        QPainterPath path;
        QTransform toDevice;
    };
    QPainterPath squares;  // two overlapping squares, the same way round, and a hole the other way
    squares.addPolygon(QPolygonF({{5.2, 5.7}, {30.1, 5.7}, {30.1, 30.3}, {5.2, 30.3}}));
    squares.addPolygon(QPolygonF({{15.5, 12.25}, {40.8, 12.25}, {40.8, 41.6}, {15.5, 41.6}}));
    squares.addPolygon(QPolygonF({{20, 20}, {20, 25}, {26, 25}, {26, 20}}));
    squares.setFillRule(Qt::WindingFill);
    const std::vector<Case> cases = {
        {"circle", polygonPath(circle(30.4, 25.7, 17.3, 90), Qt::WindingFill), QTransform()},
        {"star, even-odd", polygonPath(star(32, 24, 22), Qt::OddEvenFill), QTransform()},
        {"star, winding", polygonPath(star(32, 24, 22), Qt::WindingFill), QTransform()},
        {"squares", squares, QTransform()},
        {"squares turned", squares, turned},
        {"beyond every edge", polygonPath(QPolygonF({{-20.3, 10.2}, {90.7, -15.1}, {40.2, 70.9}}), Qt::WindingFill),
         QTransform()},
        {"sliver", polygonPath(QPolygonF({{3.1, 40.2}, {60.3, 2.4}, {60.6, 2.6}, {3.4, 40.5}}), Qt::WindingFill),
         QTransform()},
    };
    for (const QColor colour : {QColor(220, 30, 40), QColor(20, 60, 230, 140)}) {
        for (const Case& given : cases) {
            const Case c{given.name, finely(given.path), given.toDevice};
            QImage expected = background();
            QImage actual = expected;
            {
                QPainter p(&expected);
                p.setRenderHint(QPainter::Antialiasing);
                p.setTransform(c.toDevice);
                p.fillPath(c.path, colour);
            }
            {
                QPainter p(&actual);
                p.setRenderHint(QPainter::Antialiasing);
                ASSERT_TRUE(spanFill(p, c.path, c.toDevice, qPremultiply(colour.rgba()))) << c.name;
            }
            EXPECT_LE(largestDifference(expected, actual), 2) << c.name << " alpha " << colour.alpha();
        }
    }
}

TEST(SpanFill, CoverageIsTheAreaOfEachPixel)
{
    struct Case {
        const char* name;
        QPolygonF shape;
        std::vector<int> row0;  // coverage of the first row's four pixels
    };
    const std::vector<Case> cases = {
        {"half pixels at the ends", {{0.5, 0}, {2.5, 0}, {2.5, 1}, {0.5, 1}}, {128, 255, 128, 0}},
        {"a quarter", {{1.5, 0.5}, {2, 0.5}, {2, 1}, {1.5, 1}}, {0, 64, 0, 0}},
        {"a slope across pixels", {{0, 0}, {4, 0}, {4, 1}}, {32, 96, 160, 224}},
        // Drawn the other way round, the same area counts the same.
        {"reversed", {{4, 1}, {4, 0}, {0, 0}}, {32, 96, 160, 224}},
    };
    for (const Case& c : cases) {
        const auto coverage = spanCoverage(polygonPath(c.shape, Qt::WindingFill), QTransform(), 4, 1);
        ASSERT_TRUE(coverage) << c.name;
        for (size_t x = 0; x < 4; ++x)
            EXPECT_NEAR((*coverage)[x], c.row0[x], 1) << c.name << " pixel " << x;
    }
}

TEST(SpanFill, LeavesToQtWhatItCannotDrawTheSame)
{
    const QPainterPath plain = polygonPath(QPolygonF({{1, 1}, {30, 1}, {30, 30}, {1, 30}}), Qt::WindingFill);
    const QPainterPath square = finely(plain);
    QPainterPath curved;
    curved.moveTo(2, 2);
    curved.quadTo(30, 2, 20, 20);
    const std::vector<std::pair<const char*, std::function<bool(QImage&)>>> cases = {
        {"a large plain shape", [&](QImage& image) {
             QPainter p(&image);
             p.setRenderHint(QPainter::Antialiasing);
             return spanFill(p, plain, QTransform(), 0xff000000u);
         }},
        {"clipped", [&](QImage& image) {
             QPainter p(&image);
             p.setRenderHint(QPainter::Antialiasing);
             p.setClipRect(0, 0, 10, 10);
             return spanFill(p, square, QTransform(), 0xff000000u);
         }},
        {"not anti-aliased", [&](QImage& image) {
             QPainter p(&image);
             return spanFill(p, square, QTransform(), 0xff000000u);
         }},
        {"another composition", [&](QImage& image) {
             QPainter p(&image);
             p.setRenderHint(QPainter::Antialiasing);
             p.setCompositionMode(QPainter::CompositionMode_Multiply);
             return spanFill(p, square, QTransform(), 0xff000000u);
         }},
        {"curves", [&](QImage& image) {
             QPainter p(&image);
             p.setRenderHint(QPainter::Antialiasing);
             return spanFill(p, curved, QTransform(), 0xff000000u);
         }},
        {"straight ARGB", [&](QImage& image) {
             QImage other(32, 32, QImage::Format_ARGB32);
             other.fill(Qt::white);
             QPainter p(&other);
             p.setRenderHint(QPainter::Antialiasing);
             const bool drawn = spanFill(p, square, QTransform(), 0xff000000u);
             image = other.convertToFormat(QImage::Format_ARGB32_Premultiplied);
             return drawn;
         }},
    };
    for (const auto& [name, draw] : cases) {
        QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        EXPECT_FALSE(draw(image)) << name;
        EXPECT_EQ(image.pixel(5, 5), qRgb(255, 255, 255)) << name;
    }
}

} // namespace

// A layer cut by a mask's coverage and drawn over a frame: the one-pass blend against
// Qt's DestinationIn cut followed by its source-over draw, over every level of alpha
// in layer, cut and frame (partly transparent layer pixels included), with the layer
// hanging over the frame's edges. Then the painters it must leave to Qt.
TEST(SpanFill, CutLayerGivesQtsPixels)
{
    QImage layer(40, 30, QImage::Format_ARGB32_Premultiplied);
    QImage cut(layer.size(), QImage::Format_Alpha8);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int y = 0; y < layer.height(); ++y) {
        for (int x = 0; x < layer.width(); ++x) {
            const int alpha = (x + y) % 5 == 0 ? 0 : (x * 7 + y * 3) % 5 == 0 ? 255 : int(next() % 256);
            layer.setPixel(x, y, qPremultiply(qRgba(int(next() % 256), int(next() % 256), int(next() % 256), alpha)));
            cut.scanLine(y)[x] = static_cast<uchar>(x % 6 == 0 ? 0 : x % 6 == 1 ? 255 : next() % 256);
        }
    }
    for (const QPoint at : {QPoint(5, 4), QPoint(-7, -3), QPoint(40, 30)}) {
        QImage expected = background();
        {
            QImage cutLayer = layer;
            {
                QPainter p(&cutLayer);
                p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
                p.drawImage(0, 0, cut);
            }
            QPainter p(&expected);
            p.drawImage(at, cutLayer);
        }
        QImage actual = background();
        {
            QPainter p(&actual);
            ASSERT_TRUE(blendCutLayer(p, at, layer, cut));
        }
        EXPECT_EQ(actual, expected) << at.x() << "," << at.y();
    }
    const std::vector<std::pair<const char*, std::function<void(QPainter&)>>> refused = {
        {"clipped", [](QPainter& p) { p.setClipRect(0, 0, 10, 10); }},
        {"transformed", [](QPainter& p) { p.translate(1, 0); }},
        {"half opaque", [](QPainter& p) { p.setOpacity(0.5); }},
        {"another composition", [](QPainter& p) { p.setCompositionMode(QPainter::CompositionMode_Plus); }},
    };
    for (const auto& [name, set] : refused) {
        QImage image = background();
        QPainter p(&image);
        set(p);
        EXPECT_FALSE(blendCutLayer(p, QPoint(0, 0), layer, cut)) << name;
        p.end();
        EXPECT_EQ(image, background()) << name;
    }
    QImage image = background();
    QPainter p(&image);
    EXPECT_FALSE(blendCutLayer(p, QPoint(0, 0), layer, cut.copy(0, 0, 10, 10))) << "sizes differ";
    EXPECT_FALSE(blendCutLayer(p, QPoint(0, 0), layer.convertToFormat(QImage::Format_ARGB32), cut)) << "straight ARGB";
}
