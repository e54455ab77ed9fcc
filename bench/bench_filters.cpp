// Filter and cached-surface speed, one core.
//
// BM_Blur: a blur of 16 x 16 pixels at quality 3 over a full 550 x 400 surface.
// BM_GlowShadowButtons: 50 buttons, each with a glow and a drop shadow, drawn frame
// after frame at 550 x 400; Arg(1) keeps them unchanged (their surfaces are kept),
// Arg(0) changes every button's colour each frame so every surface is drawn afresh.

#include "engine/render/Filters.h"
#include "engine/render/Renderer.h"
#include "tests/support/ShapeWriter.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

namespace {

using namespace swf;
using namespace swf::render;
using namespace lanfan::test;

constexpr int kStageWidth = 550;
constexpr int kStageHeight = 400;

void BM_Blur(benchmark::State& state)
{
    QImage source(kStageWidth, kStageHeight, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < kStageHeight; ++y)
        for (int x = 0; x < kStageWidth; ++x)
            source.setPixel(x, y, qPremultiply(qRgba(x % 256, y % 256, (x * y) % 256, (x + y) % 256)));
    Filter blur;
    blur.kind = FilterKind::Blur;
    blur.blurX = blur.blurY = 16;
    blur.passes = 3;
    for (auto _ : state) {
        state.PauseTiming();
        QImage surface = source.copy();
        state.ResumeTiming();
        applyFilter(surface, blur, {});
        benchmark::DoNotOptimize(surface.constBits());
    }
}
BENCHMARK(BM_Blur)->Unit(benchmark::kMillisecond);

std::shared_ptr<const ShapeDef> roundedButton(Rgba color)
{
    StyleArrays styles(32);
    uint32_t fill = styles.solid(color);
    uint32_t line = styles.line(40, {0, 0, 0, 255});
    RecordWriter w;
    w.fill0(fill).line(line).rect(0, 0, 1200, 500);
    return buildShape(32, {0, 1200, 0, 500}, styles, w);
}

RenderNode buttons()
{
    auto filters = std::make_shared<std::vector<Filter>>(2);
    Filter& glow = (*filters)[0];
    glow.kind = FilterKind::Glow;
    glow.color = {255, 255, 0, 255};
    glow.blurX = glow.blurY = 6;
    glow.passes = 2;
    Filter& shadow = (*filters)[1];
    shadow.kind = FilterKind::DropShadow;
    shadow.color = {0, 0, 0, 160};
    shadow.blurX = shadow.blurY = 4;
    shadow.distance = 4;
    shadow.angle = 0.785398;
    shadow.passes = 1;
    RenderNode root;
    auto shape = roundedButton({80, 120, 220, 255});
    for (int i = 0; i < 50; ++i) {
        RenderNode button;
        button.depth = static_cast<uint16_t>(i + 1);
        button.matrix = {1, 0, 0, 1, 200.0 + (i % 7) * 1500.0, 200.0 + (i / 7) * 1000.0};
        button.filters = filters;
        RenderNode face;
        face.depth = 1;
        face.shape = shape;
        button.children.push_back(face);
        root.children.push_back(std::move(button));
    }
    return root;
}

void BM_GlowShadowButtons(benchmark::State& state)
{
    const bool unchanged = state.range(0) != 0;
    RenderNode root = buttons();
    Renderer renderer;
    QImage image(kStageWidth, kStageHeight, QImage::Format_ARGB32_Premultiplied);
    const Matrix toDevice{1 / 20.0, 0, 0, 1 / 20.0, 0, 0};
    int frame = 0;
    for (auto _ : state) {
        if (!unchanged) {
            for (RenderNode& button : root.children)
                button.children[0].colorTransform.rMul = static_cast<float>(frame % 2) * 0.5f + 0.5f;
        }
        ++frame;
        image.fill(Qt::white);
        QPainter painter(&image);
        renderer.render(painter, root, toDevice, Quality::High);
    }
}
BENCHMARK(BM_GlowShadowButtons)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
