// Render trees compared for whether they draw the same picture: every field that
// changes what is drawn must count, and equal trees built afresh must compare equal.

#include "RenderFixture.h"
#include "tests/support/ShapeWriter.h"

#include <functional>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

std::shared_ptr<const ShapeDef> square()
{
    StyleArrays styles(32);
    const uint32_t fill = styles.solid({255, 0, 0, 255});
    RecordWriter w;
    w.fill0(fill).rect(0, 0, 200, 200);
    return buildShape(32, {0, 200, 0, 200}, styles, w);
}

RenderNode sample(const std::shared_ptr<const ShapeDef>& shape)
{
    RenderNode child = shapeNode(shape, 3);
    child.matrix = {1, 0, 0, 1, 40, 60};
    RenderNode clip;
    clip.depth = 2;
    clip.children.push_back(child);
    clip.filters = std::make_shared<const std::vector<Filter>>(std::vector<Filter>{Filter{}});
    return rootOf({shapeNode(shape, 1), clip});
}

TEST(RenderTreeCompare, EachFieldThatChangesThePictureCounts)
{
    const auto shape = square();
    const auto other = square();
    const RenderNode base = sample(shape);
    EXPECT_TRUE(drawsSame(base, sample(shape))) << "built afresh, the same";

    // Filters are compared by value: a list made again with the same filters is the same.
    RenderNode refiltered = sample(shape);
    refiltered.children[1].filters = std::make_shared<const std::vector<Filter>>(std::vector<Filter>{Filter{}});
    EXPECT_TRUE(drawsSame(base, refiltered));

    const std::pair<const char*, std::function<void(RenderNode&)>> changes[] = {
        {"moved", [](RenderNode& r) { r.children[1].children[0].matrix.tx += 1; }},
        {"recoloured", [](RenderNode& r) { r.children[0].colorTransform.rMul = 0.5f; }},
        {"hidden", [](RenderNode& r) { r.children[0].visible = false; }},
        {"made a mask", [](RenderNode& r) { r.children[0].clipDepth = 2; }},
        {"other shape", [&](RenderNode& r) { r.children[0].shape = other; }},
        {"morph ratio", [](RenderNode& r) { r.children[0].morphRatio = 0.5; }},
        {"blend mode", [](RenderNode& r) { r.children[1].blendMode = BlendMode::Multiply; }},
        {"filters gone", [](RenderNode& r) { r.children[1].filters.reset(); }},
        {"cached", [](RenderNode& r) { r.children[1].cacheAsBitmap = true; }},
        {"background", [](RenderNode& r) { r.children[1].opaqueBackground = Rgba{1, 2, 3, 255}; }},
        {"scrolled", [](RenderNode& r) { r.children[1].scrollRect = Rect{0, 100, 0, 100}; }},
        {"drawn into", [&](RenderNode& r) { r.children[1].drawing = other; }},
        {"video frame", [](RenderNode& r) { r.children[0].videoFrame = 4; }},
        {"child added", [&](RenderNode& r) { r.children[1].children.push_back(shapeNode(shape, 9)); }},
        {"child removed", [](RenderNode& r) { r.children.pop_back(); }},
        {"depth", [](RenderNode& r) { r.children[0].depth = 7; }},
    };
    for (const auto& [what, change] : changes) {
        RenderNode changed = sample(shape);
        change(changed);
        EXPECT_FALSE(drawsSame(base, changed)) << what;
        EXPECT_FALSE(drawsSame(changed, base)) << what;
    }
}

TEST(RenderTreeCompare, NoFiltersAndAnEmptyListAreTheSame)
{
    RenderNode a, b;
    b.filters = std::make_shared<const std::vector<Filter>>();
    EXPECT_TRUE(drawsSame(a, b));
}

} // namespace
