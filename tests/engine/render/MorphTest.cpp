// Morph shapes: pairing of start and end edges, interpolation of edges and styles, and
// drawing at a node's ratio.

#include "RenderFixture.h"
#include "tests/support/ShapeWriter.h"

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

// A red square on the left that becomes a blue square on the right.
std::shared_ptr<const MorphShapeDef> slidingSquare()
{
    MorphStyles styles;
    uint32_t fill = styles.solid({255, 0, 0, 255}, {0, 0, 255, 255});
    styles.line(20, 220, {0, 0, 0, 255}, {0, 0, 0, 255});
    RecordWriter start;
    start.fill0(fill).rect(0, 0, 800, 800);
    RecordWriter end;
    end.rect(1200, 1200, 2000, 2000);
    return buildMorphShape({0, 800, 0, 800}, {1200, 2000, 1200, 2000}, styles, start, end);
}

TEST(Morph, ParsesStylesAndPairsRecords)
{
    auto morph = slidingSquare();
    ASSERT_EQ(morph->fillStyles.size(), 1u);
    EXPECT_EQ(morph->fillStyles[0].start.color, (Rgba{255, 0, 0, 255}));
    EXPECT_EQ(morph->fillStyles[0].end.color, (Rgba{0, 0, 255, 255}));
    ASSERT_EQ(morph->lineStyles.size(), 1u);
    EXPECT_EQ(morph->lineStyles[0].start.width, 20);
    EXPECT_EQ(morph->lineStyles[0].end.width, 220);
    ASSERT_EQ(morph->startRecords.size(), morph->endRecords.size());
    ASSERT_EQ(morph->startRecords.size(), 5u);
    EXPECT_EQ(morph->endRecords[0].to, (Point{1200, 1200}));
    EXPECT_EQ(morph->endRecords[2].to, (Point{2000, 2000}));
}

TEST(Morph, InterpolatesEdgesStylesAndBoundsAtARatio)
{
    auto morph = slidingSquare();
    ShapeDef start = morphShapeAt(*morph, 0);
    ShapeDef middle = morphShapeAt(*morph, 0.5);
    ShapeDef end = morphShapeAt(*morph, 1);
    EXPECT_EQ(start.records[2].to, (Point{800, 800}));
    EXPECT_EQ(middle.records[2].to, (Point{1400, 1400}));
    EXPECT_EQ(end.records[2].to, (Point{2000, 2000}));
    EXPECT_EQ(middle.fillStyles[0].color, (Rgba{127, 0, 127, 255}));
    EXPECT_EQ(middle.lineStyles[0].width, 120);
    EXPECT_EQ(morphBounds(*morph, 0.5), (Rect{600, 1400, 600, 1400}));
    EXPECT_EQ(morphBounds(*morph, 7), (Rect{1200, 2000, 1200, 2000}));
}

TEST(Morph, StraightEdgeFacingACurveBecomesACurve)
{
    MorphStyles styles;
    uint32_t fill = styles.solid({0, 0, 0, 255}, {0, 0, 0, 255});
    RecordWriter start;
    start.moveTo(0, 0).fill0(fill).lineTo(1000, 0).lineTo(0, 0);
    RecordWriter end;
    end.moveTo(0, 0).curveTo(500, 600, 1000, 0).lineTo(0, 0);
    auto morph = buildMorphShape({0, 1000, 0, 0}, {0, 1000, 0, 600}, styles, start, end);
    ASSERT_EQ(morph->startRecords.size(), 3u);
    EXPECT_EQ(morph->startRecords[1].kind, ShapeRecordKind::CurvedEdge);
    EXPECT_EQ(morph->startRecords[1].control, (Point{500, 0}));
    EXPECT_EQ(morph->endRecords[1].control, (Point{500, 600}));
    EXPECT_EQ(morphShapeAt(*morph, 0.5).records[1].control, (Point{500, 300}));
    EXPECT_EQ(morph->startRecords[2].kind, ShapeRecordKind::StraightEdge);
}

TEST(Morph, TruncatedMorphThrows)
{
    MorphStyles styles;
    styles.solid({0, 0, 0, 255}, {0, 0, 0, 255});
    RecordWriter start;
    start.fill0(1).rect(0, 0, 100, 100);
    auto bytes = encodeMorphShape({0, 100, 0, 100}, {0, 100, 0, 100}, styles, start, start);
    bytes.resize(12);
    ByteReader reader(bytes);
    EXPECT_THROW(parseDefineMorphShape(46, reader), FormatError);
}

TEST(Morph, DrawnAtTheNodesRatioWithOneRenderer)
{
    auto morph = slidingSquare();
    Renderer renderer;
    auto drawAt = [&](double ratio) {
        RenderNode node;
        node.depth = 1;
        node.morph = morph;
        node.morphRatio = ratio;
        Canvas c(100, 100);
        c.draw(renderer, rootOf({node}));
        return c;
    };
    Canvas atStart = drawAt(0);
    EXPECT_TRUE(near(atStart.at(20, 20), QColor(255, 0, 0)));
    EXPECT_TRUE(near(atStart.at(80, 80), QColor(255, 255, 255)));
    Canvas halfway = drawAt(0.5);
    EXPECT_TRUE(near(halfway.at(50, 50), QColor(128, 0, 128)));
    EXPECT_TRUE(near(halfway.at(20, 20), QColor(255, 255, 255)));
    Canvas atEnd = drawAt(1);
    EXPECT_TRUE(near(atEnd.at(80, 80), QColor(0, 0, 255)));
    // Back to the start: the cached ratio must not be confused with the others.
    EXPECT_TRUE(near(drawAt(0).at(20, 20), QColor(255, 0, 0)));
}

} // namespace
