// Low-quality fills: which pixels light, how curves are cut, and that every painter
// state gives the same pixels.

#include "engine/render/AliasedFill.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using namespace swf::render;

QPainterPath polygon(std::initializer_list<QPointF> points, Qt::FillRule rule = Qt::OddEvenFill)
{
    QPainterPath path;
    path.setFillRule(rule);
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// The lit pixels as rows of '#' and '.'.
std::string picture(const QPainterPath& outline, int width, int height)
{
    const auto lit = aliasedCoverage(outline, width, height);
    if (!lit)
        return "none";
    std::string out;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            out += (*lit)[static_cast<size_t>(y * width + x)] ? '#' : '.';
        out += '\n';
    }
    return out;
}

TEST(AliasedFill, LightsThePixelsWhoseCentresAreInside)
{
    struct Case {
        const char* name;
        QPainterPath outline;
        const char* expected;
    };
    const Case cases[] = {
        // A centre on a left or top edge is inside, on a right or bottom edge outside.
        {"square on centres", polygon({{0.5, 0.5}, {2.5, 0.5}, {2.5, 2.5}, {0.5, 2.5}}), "##..\n##..\n....\n"},
        {"square off centres", polygon({{0.6, 0.6}, {2.6, 0.6}, {2.6, 2.6}, {0.6, 2.6}}), "....\n.##.\n.##.\n"},
        // Even-odd leaves the inner square open; non-zero fills it when both turn alike.
        {"even-odd hole",
         [] {
             QPainterPath p = polygon({{0, 0}, {4, 0}, {4, 3}, {0, 3}});
             p.addPolygon(QPolygonF({QPointF(1, 1), QPointF(3, 1), QPointF(3, 2), QPointF(1, 2)}));
             p.closeSubpath();
             return p;
         }(),
         "####\n#..#\n####\n"},
        {"non-zero same turn",
         [] {
             QPainterPath p = polygon({{0, 0}, {4, 0}, {4, 3}, {0, 3}}, Qt::WindingFill);
             p.addPolygon(QPolygonF({QPointF(1, 1), QPointF(3, 1), QPointF(3, 2), QPointF(1, 2)}));
             p.closeSubpath();
             return p;
         }(),
         "####\n####\n####\n"},
        // Parts outside the area are cut off, not wrapped or written past it.
        {"beyond the sides", polygon({{-5, -5}, {9, -5}, {9, 1}, {-5, 1}}), "####\n....\n....\n"},
        {"empty", QPainterPath(), "....\n....\n....\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(picture(c.outline, 4, 3), c.expected) << c.name;
}

// Centres on or a hair from a slanted edge, with the side the reference player put
// them on (from the blend-mode pictures): an exact centre test, or Qt's in 64ths of
// a pixel, gets each of these wrong.
TEST(AliasedFill, CentresNearSlantedEdgesFallAsTheReferenceHasThem)
{
    struct Case {
        const char* name;
        QPainterPath outline;
        int x, y;
        bool lit;
    };
    const Case cases[] = {
        // Left edge passing 0.005 twip left of the centre (261.5, 63.5): dark.
        {"left edge a hair left", polygon({{261.85, 61.15}, {270, 61.15}, {270, 81.95}, {258.75, 81.95}}), 261, 63,
         false},
        {"left edge, next pixel", polygon({{261.85, 61.15}, {270, 61.15}, {270, 81.95}, {258.75, 81.95}}), 262, 63,
         true},
        // Right edge exactly through the centre (116.5, 327.5): lit.
        {"right edge on the centre", polygon({{100, 308.8}, {119.1, 308.8}, {112.6, 355.55}, {100, 355.55}}), 116,
         327, true},
        // Right edge 0.011 twip left of the centre (333.5, 123.5): dark.
        {"right edge a hair left", polygon({{320, 91.85}, {337.9, 91.85}, {331.4, 138.6}, {320, 138.6}}), 333, 123,
         false},
        // Left edge exactly through the centre (267.5, 336.5): lit.
        {"left edge on the centre", polygon({{270.15, 317.45}, {280, 317.45}, {280, 355.55}, {264.85, 355.55}}), 267,
         336, true},
    };
    for (const Case& c : cases) {
        const auto lit = aliasedCoverage(c.outline, 400, 400);
        ASSERT_TRUE(lit) << c.name;
        EXPECT_EQ((*lit)[static_cast<size_t>(c.y * 400 + c.x)] != 0, c.lit) << c.name;
    }
}

TEST(AliasedFill, CutsCurvesIntoFewPiecesOnTheTwipGrid)
{
    struct Case {
        QPointF start, control, end;
        int pieces;
    };
    // |start - 2 control + end| over the square of the count stays within 0.4 px.
    const Case cases[] = {
        {{0, 0}, {1, 0.1}, {2, 0}, 1},    // bend 0.2
        {{0, 0}, {2, 0.7}, {4, 0}, 2},    // bend 1.4
        {{0, 0}, {5, 10}, {10, 0}, 8},    // bend 20
        {{0, 0}, {50, 480}, {100, 0}, 49}, // bend 960
    };
    for (const Case& c : cases) {
        QPainterPath path(c.start);
        path.quadTo(c.control, c.end);
        const QPainterPath out = aliasedOutline(path, QTransform());
        ASSERT_EQ(out.elementCount(), c.pieces + 1) << c.control.y();
        for (int i = 0; i < out.elementCount(); ++i) {
            const QPainterPath::Element e = out.elementAt(i);
            EXPECT_FALSE(e.isCurveTo());
            EXPECT_NEAR(e.x * 20, std::round(e.x * 20), 1e-9);
            EXPECT_NEAR(e.y * 20, std::round(e.y * 20), 1e-9);
        }
        EXPECT_EQ(out.elementAt(out.elementCount() - 1).x, c.end.x());
    }
    // Cut in device pixels: the same curve drawn four times larger takes twice the pieces.
    QPainterPath path(QPointF(0, 0));
    path.quadTo(QPointF(2, 0.7), QPointF(4, 0));
    EXPECT_EQ(aliasedOutline(path, QTransform::fromScale(4, 4)).elementCount(), 5);
}

TEST(AliasedFill, PainterStatesGiveTheSamePixels)
{
    const QPainterPath outline = aliasedOutline(
        [] {
            QPainterPath p(QPointF(1.3, 0.2));
            p.quadTo(QPointF(14, 1), QPointF(11.6, 9.7));
            p.lineTo(QPointF(2.15, 6.4));
            p.closeSubpath();
            return p;
        }(),
        QTransform());
    auto draw = [&](bool clipped, const QBrush& brush) {
        QImage image(16, 12, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        QPainter painter(&image);
        if (clipped)
            painter.setClipRect(0, 0, 16, 12);
        EXPECT_TRUE(aliasedFill(painter, outline, brush));
        return image;
    };
    const QImage direct = draw(false, QColor(200, 10, 10, 128));
    EXPECT_EQ(draw(true, QColor(200, 10, 10, 128)), direct);
    // A gradient of one opaque colour goes through the painter as rectangles.
    QLinearGradient flat(0, 0, 16, 0);
    flat.setColorAt(0, QColor(20, 90, 200));
    flat.setColorAt(1, QColor(20, 90, 200));
    EXPECT_EQ(draw(false, QBrush(flat)), draw(false, QColor(20, 90, 200)));
    // And the lit pixels are the sampled ones, blended over white.
    const auto lit = aliasedCoverage(outline, 16, 12);
    ASSERT_TRUE(lit);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 16; ++x)
            EXPECT_EQ(direct.pixel(x, y) != qRgb(255, 255, 255), (*lit)[static_cast<size_t>(y * 16 + x)] != 0)
                << x << "," << y;
    }
}

TEST(AliasedFill, HostileCoordinatesAreLeftToTheCaller)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    EXPECT_FALSE(aliasedFill(painter, polygon({{0, 0}, {nan, 4}, {4, 4}}), Qt::black));
    EXPECT_FALSE(aliasedFill(painter, polygon({{0, 0}, {1e9, 4}, {4, 4}}), Qt::black));
    painter.end();
    EXPECT_EQ(image.pixel(2, 3), qRgb(255, 255, 255));
    // A curve handed in unflattened is refused rather than drawn as its chord.
    QPainterPath curve(QPointF(0, 0));
    curve.quadTo(QPointF(4, 8), QPointF(8, 0));
    EXPECT_FALSE(aliasedCoverage(curve, 8, 8));
}

} // namespace
